// The failure reports' texts.
#include "framework/Host.h"

#include "platform/module.h"
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

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
    const std::string text = Utf16ToUtf8(UnhandledFailureText(e));
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match,
                                 std::regex("Exception XTestPipeFailure in module ([^\r\n]+) at "
                                            "([0-9A-F]{8})\\.\r\nPIPE did not respond\\. "
                                            "Connection reset by peer\\.\r\n")))
        << text;
    const std::filesystem::path exe(platform::OwnModuleFileName());
    EXPECT_EQ(match[1].str(), exe.filename().string());
    // The offset counts from where the executable is loaded: it lies inside the file,
    // not at an absolute address, and moves with the raise site.
    const std::uintptr_t offset = std::stoul(match[2].str(), nullptr, 16);
    EXPECT_GT(offset, 0u);
    EXPECT_LT(offset, std::filesystem::file_size(exe));
    const void* later = static_cast<const char*>(e.RaiseAddress()) + 64;
    EXPECT_EQ(LocateRaiseAddress(later).offset, LocateRaiseAddress(e.RaiseAddress()).offset + 64);
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
