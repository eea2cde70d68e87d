// The catalogue locator: the marker scan, the appended table and the shared catalogues.
#include "common/GNUgettext/FileLocator.h"

#include "common/GNUgettext/EmbeddedCatalogues.h"
#include "common/GNUgettext/TranslationState.h"
#include "common/GNUgettext/test_support.h"
#include "platform/module.h"

#include <fstream>
#include <sstream>

using namespace gettext_test;
namespace ec = embedded_catalogues;

namespace {

/// "locale/de/LC_MESSAGES/default.mo" with the platform's separator.
std::u16string CataloguePath(const std::u16string& language) {
  std::u16string sep(1, PathSeparator());
  return u"locale" + sep + language + sep + u"LC_MESSAGES" + sep + u"default.mo";
}

std::string Utf8(const std::u16string& text) {
  return Utf16ToUtf8(text);
}

/// A fake executable with a table appended, and a locator analysing it.
class LocatorTest : public ::testing::Test {
protected:
  void SetUp() override { savedPath_ = Translation().ExecutablePath; }
  void TearDown() override { Translation().ExecutablePath = savedPath_; }

  std::u16string Base() const { return dir_.u16() + PathSeparator(); }

  TFileLocator& Analyse(const std::string& programBytes) {
    WriteFileBytes(dir_.folder() / "prog.exe", programBytes);
    Translation().ExecutablePath = Base() + u"prog.exe";
    locator_.Analyze();
    return locator_;
  }

  std::string Program(const std::vector<ec::Catalogue>& catalogues) {
    return std::string(5000, 'P') + ec::BuildTable(catalogues);
  }

  std::vector<std::u16string> Names() const {
    std::vector<std::u16string> names;
    for (int i = 0; i < locator_.EmbeddedFiles().Count(); ++i)
      names.push_back(locator_.EmbeddedFiles().Strings(i));
    return names;
  }

  ScopedTempDir dir_;
  TFileLocator locator_;
  std::u16string savedPath_;
};

TEST(FindSignaturePosTest, FindsTheFirstOccurrenceAcrossBlockBoundaries) {
  const std::string signature = ec::BeginMarker();
  // Test tuple <file size, positions of the signature>
  struct Case {
    size_t size;
    std::vector<size_t> at;
  } cases[] = {
      {1000, {}},
      {1000, {0}}, // at 0: indistinguishable from absent, as the table format means
      {1000, {7}},
      {100000, {100000 - 39}},
      {100000, {}},
      {250000, {100000 - 20}},
      {250000, {100000}},
      {250000, {200000 - 1}},
      {250000, {250000 - 39}},
      {250000, {150000, 60000}},
      {300000, {300000 - 39}},
      {1000000, {999000}},
  };
  for (const Case& c : cases) {
    std::string bytes(c.size, 'D'); // the prefix's first letter everywhere
    for (size_t at : c.at)
      bytes.replace(at, signature.size(), signature);
    SCOPED_TRACE(::testing::Message() << c.size << " bytes, first at " << bytes.find(signature));
    std::istringstream stream(bytes);
    size_t expected = bytes.find(signature);
    EXPECT_EQ(TFileLocator::FindSignaturePos(signature, stream),
              expected == std::string::npos ? 0 : static_cast<std::int64_t>(expected));
  }
}

TEST(FindSignaturePosTest, BuiltExecutableHoldsNoWholeMarker) {
  std::ifstream self(fs::path(platform::OwnModuleFileName()), std::ios::binary);
  ASSERT_TRUE(self);
  EXPECT_EQ(TFileLocator::FindSignaturePos(ec::BeginMarker(), self), 0);
  EXPECT_EQ(TFileLocator::FindSignaturePos(ec::EndMarker(), self), 0);
  // ...while the parts are there: a mistake in the scan would not go unnoticed.
  EXPECT_GT(TFileLocator::FindSignaturePos(ec::BeginMarker().substr(3), self), 0);
}

TEST_F(LocatorTest, ExecutableWithoutTableHasNoEmbeddedCatalogues) {
  TFileLocator& locator = Analyse(std::string(300000, 'x'));
  EXPECT_EQ(locator.EmbeddedFiles().Count(), 0);
  EXPECT_EQ(locator.BaseDirectory(), Base());
  EXPECT_FALSE(locator.FileExists(Base() + CataloguePath(u"de")));
}

TEST_F(LocatorTest, EmbeddedNamesAreFoundUnderTheExecutablesFolderOnly) {
  std::string german = ReadFileBytes(Fixture("basic"));
  TFileLocator& locator = Analyse(
      Program({{Utf8(CataloguePath(u"de")), german},
               {" " + Utf8(CataloguePath(u"fr")) + "\r\n", ReadFileBytes(Fixture("french"))}}));
  EXPECT_EQ(Names(), (std::vector<std::u16string>{CataloguePath(u"de"), CataloguePath(u"fr")}));
  // Test tuple <path, embedded?>
  std::pair<std::u16string, bool> cases[] = {
      {Base() + CataloguePath(u"de"), true},
      {Base() + CataloguePath(u"fr"), true},
      {Base() + AsciiUpper(CataloguePath(u"de")), true}, // names ignore case
      {AsciiUpper(Base()) + CataloguePath(u"de"), AsciiUpper(Base()) == Base()}, // folder doesn't
      {CataloguePath(u"de"), false},
      {Base() + u"x" + PathSeparator() + CataloguePath(u"de"), false},
      {Base() + CataloguePath(u"it"), false},
  };
  for (const auto& [path, embedded] : cases) {
    SCOPED_TRACE(Utf8(path));
    EXPECT_EQ(locator.FileExists(path), embedded);
  }
  TMoFile* mo = locator.GetMoFile(Base() + CataloguePath(u"de"));
  bool found = false;
  EXPECT_EQ(mo->gettext("Hello", found), "Hallo");
  locator.ReleaseMoFile(mo);
}

TEST_F(LocatorTest, EmbeddedCatalogueIsPreferredOverTheFileOnDisk) {
  TFileLocator& locator =
      Analyse(Program({{Utf8(CataloguePath(u"de")), ReadFileBytes(Fixture("basic"))}}));
  fs::path onDisk = dir_.folder() / fs::path(CataloguePath(u"de"));
  WriteFileBytes(onDisk, ReadFileBytes(Fixture("french")));
  TMoFile* mo = locator.GetMoFile(Base() + CataloguePath(u"de"));
  bool found = false;
  EXPECT_EQ(mo->gettext("Hello", found), "Hallo");
  locator.ReleaseMoFile(mo);
  // The same catalogue reached from another folder comes from the disk.
  TFileLocator other;
  TMoFile* direct = other.GetMoFile(onDisk.u16string());
  EXPECT_EQ(direct->gettext("Hello", found), "Bonjour");
  other.ReleaseMoFile(direct);
}

TEST_F(LocatorTest, SharedCatalogueLivesUntilItsLastUserLetsGo) {
  TFileLocator& locator =
      Analyse(Program({{Utf8(CataloguePath(u"de")), ReadFileBytes(Fixture("basic"))},
                       {Utf8(CataloguePath(u"de_AT")), ReadFileBytes(Fixture("basic"))}}));
  TMoFile* first = locator.GetMoFile(Base() + CataloguePath(u"de"));
  TMoFile* second = locator.GetMoFile(Base() + AsciiUpper(CataloguePath(u"de")));
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->Users, 2);
  // The same executable at another offset is another catalogue.
  TMoFile* austrian = locator.GetMoFile(Base() + CataloguePath(u"de_AT"));
  EXPECT_NE(austrian, first);
  EXPECT_EQ(locator.OpenCatalogueCount(), 2);
  locator.ReleaseMoFile(first);
  EXPECT_EQ(second->Users, 1);
  EXPECT_EQ(locator.OpenCatalogueCount(), 2);
  locator.ReleaseMoFile(second);
  EXPECT_EQ(locator.OpenCatalogueCount(), 1);
  locator.ReleaseMoFile(austrian);
  EXPECT_EQ(locator.OpenCatalogueCount(), 0);
}

TEST_F(LocatorTest, ReleasingNoCatalogueIsAnAssertionFailure) {
  EXPECT_THROW(locator_.ReleaseMoFile(nullptr), EAssertionFailed);
}

TEST_F(LocatorTest, CatalogueThatCannotBeOpenedIsNotKept) {
  TFileLocator& locator = Analyse("no table");
  std::u16string missing = Base() + CataloguePath(u"de");
  try {
    locator.GetMoFile(missing);
    ADD_FAILURE() << "opened";
  } catch (const EGGIOError& e) {
    EXPECT_EQ(e.Message(), u"Cannot open file " + missing);
  }
  EXPECT_EQ(locator.OpenCatalogueCount(), 0);
}

TEST_F(LocatorTest, DuplicateNameEndsTheAnalysis) {
  std::string mo = ReadFileBytes(Fixture("basic"));
  Analyse(Program({{"a.mo", mo}, {"b.mo", mo}, {"A.MO", mo}, {"c.mo", mo}}));
  EXPECT_EQ(Names(), (std::vector<std::u16string>{u"a.mo", u"b.mo"}));
}

TEST_F(LocatorTest, TableThatPointsOutsideTheFileKeepsTheEntriesBeforeTheFault) {
  const std::string mo = ReadFileBytes(Fixture("basic"));
  const std::string good = Program({{"a.mo", mo}, {"b.mo", mo}, {"c.mo", mo}});
  const size_t base = 5000 + ec::kMarkerLength;
  const size_t firstEntry = base + 3 * mo.size();
  const size_t secondEntry = firstEntry + 24 + 4;
  auto put = [](std::string bytes, size_t at, std::int64_t value) {
    for (int i = 0; i < 8; ++i)
      bytes[at + i] = static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xff);
    return bytes;
  };
  const size_t firstField = good.size() - ec::kMarkerLength - 8;
  // Test tuple <what is damaged, the bytes, names kept>
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::u16string> names;
  } cases[] = {
      {"intact", good, {u"a.mo", u"b.mo", u"c.mo"}},
      {"first entry far away", put(good, firstField, 1LL << 40), {}},
      {"first entry before the table", put(good, firstField, -5000), {}},
      {"second name runs past the end", put(good, secondEntry, 1LL << 40), {u"a.mo"}},
      {"second name ends before it starts", put(good, secondEntry, 3), {u"a.mo"}},
      {"second catalogue past the end", put(good, secondEntry + 8, 1LL << 40), {u"a.mo"}},
      {"second size past the end", put(good, secondEntry + 16, 1LL << 40), {u"a.mo"}},
      {"negative size", put(good, secondEntry + 16, -1), {u"a.mo"}},
      // The extremes, where adding the table's base would overflow.
      {"first entry at the largest position", put(good, firstField, INT64_MAX), {}},
      {"first entry at the smallest position", put(good, firstField, INT64_MIN), {}},
      {"second name at the largest position", put(good, secondEntry, INT64_MAX), {u"a.mo"}},
      {"second catalogue at the largest position",
       put(good, secondEntry + 8, INT64_MAX),
       {u"a.mo"}},
      {"second catalogue at the smallest position",
       put(good, secondEntry + 8, INT64_MIN),
       {u"a.mo"}},
      {"second size the largest", put(good, secondEntry + 16, INT64_MAX), {u"a.mo"}},
      {"end marker lost", good.substr(0, good.size() - 1), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFileLocator locator;
    WriteFileBytes(dir_.folder() / "prog.exe", c.bytes);
    Translation().ExecutablePath = Base() + u"prog.exe";
    locator.Analyze();
    std::vector<std::u16string> names;
    for (int i = 0; i < locator.EmbeddedFiles().Count(); ++i)
      names.push_back(locator.EmbeddedFiles().Strings(i));
    EXPECT_EQ(names, c.names);
  }
}

} // namespace
