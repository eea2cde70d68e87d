// The built-in text loaders stay bodies of their own in an optimised, link-time optimised
// build: a call the compiler inlined or sent to a clone would pass the patched entry by.
#include "common/GNUgettext/THook.h"
#include "framework/Resources.h"
#include "text/StringTableIds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string ReplacementLoadStr(unsigned ident) {
  return u"redirected %d " + std::u16string(ident == SOutOfMemory ? u"memory" : u"other");
}

std::u16string ReplacementLoadResString(const TResStringRec*) {
  return u"redirected record";
}

std::u16string ReplacementFmtLoadStr(unsigned, std::span<const FormatArg>) {
  return u"redirected format";
}

void* CodeOf(auto function) {
  return reinterpret_cast<void*>(function);
}

TEST(LoadersLto, EveryCallThroughARedirectedLoaderReachesTheReplacement) {
  // Each loader called once: a function with a single caller is what an optimiser
  // inlines first.
  const TResStringRec record{nullptr, SOutOfMemory};
  std::u16string (*loadStr)(unsigned) = &LoadStr;
  std::u16string (*formatLoad)(unsigned, std::span<const FormatArg>) = &FmtLoadStr;
  {
    THook hook(CodeOf(loadStr), CodeOf(&ReplacementLoadStr));
    hook.Enable();
    EXPECT_EQ(LoadStr(SOutOfMemory), u"redirected %d memory");
    // The formatting loader's own call of LoadStr passes the same redirection.
    EXPECT_EQ(FmtLoadStr(SListIndexError, {FormatArg(7)}), u"redirected 7 other");
  }
  {
    THook hook(CodeOf(&LoadResString), CodeOf(&ReplacementLoadResString));
    hook.Enable();
    EXPECT_EQ(LoadResString(&record), u"redirected record");
  }
  {
    THook hook(CodeOf(formatLoad), CodeOf(&ReplacementFmtLoadStr));
    hook.Enable();
    EXPECT_EQ(FmtLoadStr(SOSError, {FormatArg(5), FormatArg(u"x")}), u"redirected format");
  }
  // Out of force again, the loaders answer the table.
  EXPECT_EQ(LoadStr(SOutOfMemory), u"Out of memory");
}

} // namespace
