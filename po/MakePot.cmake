# Writes the catalogue template of the runtime's built-in texts from the string table.
# Run as: cmake -DTABLE=<StringTable.def> -DOUTPUT=<default.pot> -DVERSION=<x.y.z> -P MakePot.cmake
#
# Each text becomes one msgid, spelled with the table's own escapes, except that CR
# escapes are dropped: lookups remove CR from the key, so "a\r\nb" is found as "a\nb".

file(READ "${TABLE}" table)
# Characters CMake lists treat specially stand in for themselves until the end.
string(ASCII 1 semicolon)
string(ASCII 2 open_bracket)
string(ASCII 3 close_bracket)
string(ASCII 4 backslash_pair)
string(REPLACE ";" "${semicolon}" table "${table}")
string(REPLACE "[" "${open_bracket}" table "${table}")
string(REPLACE "]" "${close_bracket}" table "${table}")
string(REPLACE "\n" ";" lines "${table}")

set(msgids "")
set(line_number 0)
foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  if(NOT line MATCHES "^SA_STRING")
    continue()
  endif()
  if(NOT line MATCHES "^SA_STRING\\(([A-Za-z_][A-Za-z0-9_]*), *([0-9]+), *\"(.*)\"\\)[ \t\r]*$")
    message(FATAL_ERROR "${TABLE}:${line_number}: not one identifier and one text literal: ${line}")
  endif()
  set(name "${CMAKE_MATCH_1}")
  set(id "${CMAKE_MATCH_2}")
  set(text "${CMAKE_MATCH_3}")
  # Backslash pairs first, so that "\\r" (a backslash, then r) is not taken for a CR.
  string(REPLACE "\\\\" "${backslash_pair}" msgid "${text}")
  string(REPLACE "\\r" "" msgid "${msgid}")
  string(REPLACE "${backslash_pair}" "\\\\" msgid "${msgid}")
  if(msgid STREQUAL "")
    # The empty msgid is the catalogue's header, never a text.
    continue()
  endif()
  # Texts equal after dropping CR share one entry, as they share one translation.
  list(FIND msgids "${msgid}" index)
  if(index EQUAL -1)
    list(LENGTH msgids index)
    list(APPEND msgids "${msgid}")
    set(comments_${index} "")
  endif()
  string(APPEND comments_${index} "#. ${name} (${id})\n#: text/StringTable.def:${line_number}\n")
endforeach()

set(header "# The built-in texts of the SchedulerAgent runtime.
# Made from text/StringTable.def at build time; do not edit.
#
#, fuzzy
msgid \"\"
msgstr \"\"
\"Project-Id-Version: SchedulerAgent ${VERSION}\\n\"
\"Report-Msgid-Bugs-To: \\n\"
\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"
\"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n\"
\"Language-Team: LANGUAGE <LL@li.org>\\n\"
\"Language: \\n\"
\"MIME-Version: 1.0\\n\"
\"Content-Type: text/plain; charset=UTF-8\\n\"
\"Content-Transfer-Encoding: 8bit\\n\"

")
set(content "${header}")
set(index 0)
foreach(msgid IN LISTS msgids)
  string(APPEND content "${comments_${index}}")
  string(REPLACE "%%" "" without_percent "${msgid}")
  if(without_percent MATCHES "%")
    string(APPEND content "#, c-format\n")
  endif()
  string(APPEND content "msgid \"${msgid}\"\nmsgstr \"\"\n\n")
  math(EXPR index "${index} + 1")
endforeach()
string(REPLACE "${semicolon}" ";" content "${content}")
string(REPLACE "${open_bracket}" "[" content "${content}")
string(REPLACE "${close_bracket}" "]" content "${content}")
# Written only when it changes, so the catalogues are not rebuilt for nothing.
set(previous "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
endif()
if(NOT previous STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
