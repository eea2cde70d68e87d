// Damaged catalogues, a damaged table appended to the executable and hostile language
// names: the agent starts, reports and quits as ever. Catalogues are opened only when a
// built-in text is loaded, so none of these may stop or slow the agent; what a damaged
// catalogue does once it is read is shown where it is read (the catalogue, locator and
// domain tests).
#include "tests/faults/FaultFixture.h"

#include <cstring>
#include <filesystem>

using namespace fault_test;

namespace {

// The shipped German catalogue, placed beside this test binary at build time.
std::string GoodCatalogue() {
  return ReadFileBytes(TestExecutableDir() + "/locale/de/LC_MESSAGES/default.mo");
}

void PutWord(std::string& bytes, size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[offset + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

class CatalogueFaultTest : public FaultTest {
protected:
  void PlaceCatalogue(const std::string& language, const std::string& bytes) {
    std::string folder = dir / ("locale/" + language + "/LC_MESSAGES");
    std::filesystem::create_directories(folder);
    WriteFileBytes(folder + "/default.mo", bytes);
  }

  // A run with LANG set: it must report and quit as without any catalogue.
  void RunWithLanguage(const std::string& lang) {
    size_t before = RequestCount();
    auto agent = StartAgent({{"LANG", lang}});
    ASSERT_TRUE(WaitForRequests(before + 1, kLongWait)) << agent->Stderr();
    ASSERT_NO_FATAL_FAILURE(QuitAndExpectCleanEnd(*agent));
  }
};

TEST_F(CatalogueFaultTest, DamagedCataloguesLeaveTheAgentUnaffected) {
  std::string good = GoodCatalogue();
  ASSERT_GT(good.size(), 28u) << "the shipped catalogue is missing beside the test";
  std::string wrongMagic = good, hugeCount = good, pointsOutside = good;
  PutWord(wrongMagic, 0, 0x12345678);
  PutWord(hugeCount, 8, 0xFFFFFFF0);
  PutWord(pointsOutside, 12, 0x7FFFFFF0); // the source table far past the end
  std::string notUtf8 = good;
  size_t charset = notUtf8.find("charset=UTF-8");
  ASSERT_NE(charset, std::string::npos);
  std::memcpy(&notUtf8[charset], "charset=ASCII", 13);

  // Test tuple <case, catalogue bytes>
  const std::pair<const char*, std::string> cases[] = {
      {"corrupt magic", wrongMagic}, {"truncated", good.substr(0, good.size() / 2)},
      {"huge N", hugeCount},         {"table outside the file", pointsOutside},
      {"not UTF-8", notUtf8},        {"empty file", ""},
  };
  WriteIni(kLogOn);
  StartService("echo");
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    PlaceCatalogue("de_DE", bytes);
    PlaceCatalogue("de", bytes);
    RunWithLanguage("de_DE.UTF-8");
  }
  ExpectWholeEntries(Log());
}

TEST_F(CatalogueFaultTest, HostileLanguageNamesLeaveTheAgentUnaffected) {
  PlaceCatalogue("de", GoodCatalogue());
  // Test tuple <case, LANG>
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"climbing out of the folder", "../../etc"},
      {"4,000 characters", std::string(4000, 'x')},
      {"control characters", "de\x01\x02\x1b[31m\t_DE"},
      {"separators", "de/../../..\\..\\x"},
  };
  StartService("echo");
  for (const auto& [name, lang] : cases) {
    SCOPED_TRACE(name);
    RunWithLanguage(lang);
  }
}

TEST_F(CatalogueFaultTest, BrokenAppendedTableLeavesTheAgentUnaffected) {
  // The markers are put together here, so this test binary holds no whole one.
  const std::string prefix = "DX" + std::string("G");
  const std::string begin = prefix + "BD7F1BE4-9FCF-4E3A-ABA7-3443D11AB362";
  const std::string end = prefix + "1C58841C-D8A0-4457-BF54-D8315D4CF49D";
  std::string agent = ReadFileBytes(dir / AgentName());
  ASSERT_FALSE(agent.empty());

  auto word64 = [](std::int64_t value) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
      bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
  };
  // A table is a chain of entries (next, data position, size, name) from the first
  // byte after the begin marker, with the first entry's position just before the end
  // marker. Test tuple <case, the bytes between the two markers>
  const std::string name = "locale/de/LC_MESSAGES/default.mo";
  const std::int64_t terminator = 24 + static_cast<std::int64_t>(name.size());
  const std::pair<const char*, std::string> cases[] = {
      {"catalogue outside the file", word64(terminator) + word64(std::int64_t{1} << 40) +
                                         word64(4096) + name + word64(0) + word64(0)},
      {"negative size", word64(terminator) + word64(0) + word64(-5) + name + word64(0) + word64(0)},
      {"chain outside the file", word64(0) + word64(std::int64_t{1} << 50)},
      {"chain before the table", word64(0) + word64(-100000)},
      {"garbage", std::string(200, '\xA5')},
  };
  StartService("echo");
  for (const auto& [name, table] : cases) {
    SCOPED_TRACE(name);
    WriteFileBytes(dir / AgentName(), agent + begin + table + end);
    RunWithLanguage("de_DE.UTF-8");
  }
}

} // namespace
