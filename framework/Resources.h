// The runtime's three loaders of built-in texts. They stay out of line: the translation
// start-up redirects their entries, so every load must pass through them. The one call
// between them, FmtLoadStr's of LoadStr, passes through a redirection of its own.
#pragma once

#include "framework/SysUtils.h"
#include "platform/compiler.h"
#include "platform/string_table.h"

#include <span>
#include <string>

/// A resource string: the module whose string table holds it and its identifier.
struct TResStringRec {
  platform::ResourceModule* Module;
  unsigned Identifier;
};

/// Loads a resource-string record's text; empty without a record, "ERROR" for an
/// identifier of 65,536 or more.
SA_NOINLINE std::u16string LoadResString(const TResStringRec* rec);

/// The first non-empty text with that identifier in the resource modules, or empty.
SA_NOINLINE std::u16string LoadStr(unsigned ident);

/// LoadStr, then Format with the arguments.
SA_NOINLINE std::u16string FmtLoadStr(unsigned ident, std::span<const FormatArg> args);

inline std::u16string FmtLoadStr(unsigned ident, std::initializer_list<FormatArg> args) {
  return FmtLoadStr(ident, std::span<const FormatArg>(args.begin(), args.size()));
}

/// Reads a text with LoadStringW directly, bypassing the loaders (and any redirection).
std::u16string LoadStringDirect(unsigned ident);

/// One text of one module through LoadStringW, in a buffer that grows until the text
/// fits, so texts of any length come back whole. Never redirected.
std::u16string LoadStringWhole(platform::ResourceModule module, unsigned ident);

// The loaders' rules, never redirected: the loaders and the translated replacements that
// stand in for them both answer through these.

/// The first non-empty text with that identifier in the resource modules, or empty.
std::u16string LoadTextFromModules(unsigned ident);

/// Empty without a record, "ERROR" for an identifier of 65,536 or more; else the
/// record's whole text, passed through `translate` when one is given.
std::u16string LoadRecordText(const TResStringRec* rec,
                              std::u16string (*translate)(const std::u16string&) = nullptr);
