// Identifiers of the runtime's built-in texts in the executable's string table.
#pragma once

enum StringTableId : unsigned {
#define SA_STRING(name, id, text) name = id,
#include "text/StringTable.def"
#undef SA_STRING
};
