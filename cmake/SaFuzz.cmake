# Fuzz targets: each one's entry is linked with a plain main that feeds it every corpus
# input once, so that every native build's test run replays the corpus (under ASan and
# UBSan in the sanitizer build); with SA_FUZZ and clang it is also built for libFuzzer.
# Not for Windows: the corpora exercise portable code or Linux's own, and Wine adds nothing.
include_guard(GLOBAL)

option(SA_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(SA_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "SA_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
endif()
# Undefined behaviour stops the run, so that libFuzzer keeps the input that caused it.
set(SA_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined
  -fno-omit-frame-pointer)

# <name>_corpus_replay from <name>_fuzzer.cpp, registered as the test <test> over <corpus>.
function(sa_add_corpus_replay name test corpus)
  if(SA_TESTS AND NOT WIN32)
    add_executable(${name}_corpus_replay ${name}_fuzzer.cpp
      ${CMAKE_SOURCE_DIR}/platform/test_support/fuzz_replay_main.cpp)
    target_link_libraries(${name}_corpus_replay PRIVATE ${ARGN})
    add_test(NAME ${test} COMMAND ${name}_corpus_replay ${corpus})
  endif()
endfunction()

# The code under test, built once more with coverage feedback for libFuzzer.
function(sa_add_fuzzing_library library)
  add_library(${library} STATIC ${ARGN})
  target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link ${SA_FUZZ_SANITIZERS})
endfunction()

# <name>_fuzzer from <name>_fuzzer.cpp, linked with the given (instrumented) libraries.
function(sa_add_fuzzer name)
  add_executable(${name}_fuzzer ${name}_fuzzer.cpp)
  target_compile_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer ${SA_FUZZ_SANITIZERS})
  target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer ${SA_FUZZ_SANITIZERS})
  target_link_libraries(${name}_fuzzer PRIVATE ${ARGN})
endfunction()
