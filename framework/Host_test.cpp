// The failure reports' texts.
#include "framework/Host.h"

#include "platform/module.h"

#include <gtest/gtest.h>

TEST(HostTest, RuntimeErrorField) {
  // Test tuple <exit code, address, text>
  const struct {
    std::uint32_t code;
    std::uintptr_t address;
    const char* text;
  } cases[] = {
      {217, 0x0040A1B2, "Runtime error 217 at 0040A1B2"},
      {217, 0, "Runtime error 217 at 00000000"},
      {5, 0x1F, "Runtime error   5 at 0000001F"},
      {1234, 0xDEADBEEF, "Runtime error1234 at DEADBEEF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string text = RuntimeErrorText(c.code, c.address);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(text.size(), 29u);
  }
}

SA_DECLARE_EXCEPTION(XTestPipeFailure, Exception);

TEST(HostTest, UnhandledFailureTextNamesClassModuleOffsetAndMessage) {
  try {
    throw XTestPipeFailure(u"PIPE did not respond. Connection reset by peer");
  } catch (const Exception& e) {
    ReportedAddress where = LocateRaiseAddress(e.RaiseAddress());
    std::u16string exe = platform::OwnModuleFileName();
    EXPECT_EQ(where.moduleFileName, exe.substr(exe.find_last_of(u"/\\") + 1));
    std::u16string text = UnhandledFailureText(e);
    char offset[16];
    std::snprintf(offset, sizeof offset, "%08llX",
                  static_cast<unsigned long long>(where.offset & 0xFFFFFFFFu));
    std::u16string expected = u"Exception XTestPipeFailure in module " + where.moduleFileName +
                              u" at " + std::u16string(offset, offset + 8) +
                              u".\r\nPIPE did not respond. Connection reset by peer.\r\n";
    EXPECT_EQ(text, expected);
  }
}

TEST(HostTest, FullStopOnlyWhenMissing) {
  EXPECT_NE(UnhandledFailureText(u"E", u"ends.", nullptr).find(u"\r\nends.\r\n"),
            std::u16string::npos);
  EXPECT_NE(UnhandledFailureText(u"E", u"", nullptr).find(u".\r\n\r\n"), std::u16string::npos);
}

TEST(HostTest, AddressInNoModuleCountsFromTheExecutableLess4096) {
  ReportedAddress where = LocateRaiseAddress(reinterpret_cast<const void*>(0x5000));
  EXPECT_EQ(where.offset, 0x4000u);
}
