// Reads the version resource of each installed program back through the functions that
// Explorer's Details page and inventory tools use (GetFileVersionInfoW, VerQueryValueW):
// every field from this build's one version, and no Debug build shipped. SA_PACKAGE_DIR
// names the installed folder (a Windows path).
#include "sa_version.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end()); // the names and paths here are ASCII
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text)
    narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

class VersionInfo {
public:
  explicit VersionInfo(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
      return;
    data_.resize(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data_.data()))
      data_.clear();
  }

  bool Present() const { return !data_.empty(); }

  const VS_FIXEDFILEINFO* Fixed() const {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data_.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
      return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }

  // A string of the US English, UTF-16 block that the programs declare.
  std::string String(const std::string& name) const {
    std::wstring key = L"\\StringFileInfo\\040904B0\\" + Widen(name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data_.data(), key.c_str(), &value, &length) || length == 0)
      return "(missing)";
    return Narrow(static_cast<const wchar_t*>(value));
  }

private:
  mutable std::vector<std::uint8_t> data_;
};

struct Program {
  const char* file;
  const char* description;
};

class InstalledProgram : public testing::TestWithParam<Program> {};

TEST_P(InstalledProgram, CarriesThisBuildsVersionResource) {
  const char* dir = std::getenv("SA_PACKAGE_DIR");
  ASSERT_NE(dir, nullptr) << "SA_PACKAGE_DIR must name the installed folder";
  const Program& program = GetParam();
  VersionInfo info(Widen(std::string(dir) + "\\" + program.file));
  ASSERT_TRUE(info.Present()) << program.file << " has no version resource";

  const VS_FIXEDFILEINFO* fixed = info.Fixed();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // Windows Installer and detection rules compare these numbers.
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(SA_VERSION_MAJOR) << 16 | SA_VERSION_MINOR);
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(SA_VERSION_BUILD) << 16);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask & VS_FF_DEBUG, 0u)
      << "a Debug build was shipped";

  std::string version = SA_VERSION_STRING;
  struct Field {
    const char* name;
    std::string expected;
  } fields[] = {
      {"CompanyName", SA_TEST_COMPANY},   {"FileDescription", program.description},
      {"FileVersion", version + ".0"},    {"ProductName", "SchedulerAgent"},
      {"ProductVersion", version},        {"LegalCopyright", SA_TEST_COPYRIGHT},
      {"OriginalFilename", program.file},
  };
  for (const Field& field : fields)
    EXPECT_EQ(info.String(field.name), field.expected) << program.file << " " << field.name;

  // As read back, for whoever looks at the test's output.
  std::printf("%s: file %u.%u.%u.%u\n", program.file, HIWORD(fixed->dwFileVersionMS),
              LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
              LOWORD(fixed->dwFileVersionLS));
  for (const Field& field : fields)
    std::printf("  %-16s %s\n", field.name, info.String(field.name).c_str());
  std::printf("  %-16s %s\n", "Comments", info.String("Comments").c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, InstalledProgram,
    testing::Values(Program{"SchedulerAgent.exe",
                            "Reports the session user's idle time to the scheduler service"},
                    Program{"idle_service.exe", "Reference idle service for SchedulerAgent"}));

} // namespace
