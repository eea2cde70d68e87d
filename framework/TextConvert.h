// The conversions moved to text/TextConvert.h; this name stays only for the idle-source
// probe in tests/inputhook until that folder includes the new one.
#pragma once

#include "text/TextConvert.h"
