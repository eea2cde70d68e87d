// Text domains against real catalogue folders, embedded tables and damaged catalogues.
#include "common/GNUgettext/Domain.h"

#include "common/GNUgettext/EmbeddedCatalogues.h"
#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/TranslationState.h"
#include "common/GNUgettext/test_support.h"
#include "platform/module.h"
#include "tests/support/child_process.h"

#include <cstdlib>
#include <iostream>

using namespace gettext_test;

namespace {

const std::u16string kSep(1, PathSeparator());

/// A program folder with a locale folder; the process-wide locator set to one for it.
class DomainTest : public ::testing::Test {
protected:
  void SetUp() override {
    savedPath_ = Translation().ExecutablePath;
    savedLocator_ = Translation().CatalogueLocator;
    Translation().ExecutablePath = dir_.u16() + kSep + u"prog.exe";
    Translation().CatalogueLocator = &locator_;
    domain_.Domain = u"default";
    domain_.SetDirectory(Locale()); // without its separator: the setter adds it
  }
  void TearDown() override {
    domain_.SetFilename(u""); // gives its catalogue back while the locator is there
    Translation().CatalogueLocator = savedLocator_;
    Translation().ExecutablePath = savedPath_;
  }

  std::u16string Locale() const { return dir_.u16() + kSep + u"locale"; }
  std::u16string PathFor(const std::u16string& language) const {
    return Locale() + kSep + language + kSep + u"LC_MESSAGES" + kSep + u"default.mo";
  }
  void Install(const std::u16string& language, const std::string& fixture) {
    WriteFileBytes(fs::path(PathFor(language)), ReadFileBytes(Fixture(fixture)));
  }
  std::string Lookup(const std::string& msgid) { return domain_.gettext(msgid); }

  ScopedTempDir dir_;
  TFileLocator locator_;
  TDomain domain_;
  std::u16string savedPath_;
  TFileLocator* savedLocator_ = nullptr;
};

TEST_F(DomainTest, LanguageFallsBackToItsFirstTwoLetters) {
  // Test tuple <catalogues installed, language, translation of "Hello">
  struct Case {
    std::vector<std::pair<std::u16string, std::string>> installed;
    std::u16string language;
    std::string expected;
  } cases[] = {
      {{{u"de_DE", "french"}, {u"de", "basic"}}, u"de_DE", "Bonjour"},
      {{{u"de", "basic"}}, u"de_DE", "Hallo"},
      {{{u"de", "basic"}}, u"de", "Hallo"},
      {{{u"de", "basic"}}, u"fr_FR", "Hello"},
      {{{u"de", "basic"}}, u"C", "Hello"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.language));
    domain_.SetLanguageCode(u""); // an open catalogue cannot be removed on Windows
    fs::remove_all(fs::path(Locale()));
    for (const auto& [language, fixture] : c.installed)
      Install(language, fixture);
    domain_.SetLanguageCode(c.language);
    EXPECT_FALSE(domain_.IsOpen());
    EXPECT_EQ(Lookup("Hello"), c.expected);
    EXPECT_EQ(domain_.IsOpen(), c.expected != "Hello");
    EXPECT_EQ(domain_.OpenHasFailed(), c.expected == "Hello");
  }
}

TEST_F(DomainTest, FailedDomainDoesNotSearchAgainUntilASettingChanges) {
  domain_.SetLanguageCode(u"de");
  EXPECT_EQ(Lookup("Hello"), "Hello");
  EXPECT_TRUE(domain_.OpenHasFailed());
  Install(u"de", "basic");
  EXPECT_EQ(Lookup("Hello"), "Hello"); // still Failed
  domain_.SetLanguageCode(u"de");
  EXPECT_EQ(Lookup("Hello"), "Hallo");
  EXPECT_EQ(locator_.OpenCatalogueCount(), 1);
  domain_.SetLanguageCode(u"fr");
  EXPECT_EQ(locator_.OpenCatalogueCount(), 0); // closing gives the catalogue back
}

TEST_F(DomainTest, EmptyMsgidAnswersTheHeaderAndFieldsMatchInAnyCase) {
  Install(u"de", "basic");
  domain_.SetLanguageCode(u"de");
  EXPECT_EQ(Lookup("").substr(0, 40), "Project-Id-Version: SchedulerAgent tests");
  EXPECT_EQ(domain_.GetTranslationProperty(u"last-translator"),
            u"Erika Mustermann <erika@example.org>");
  EXPECT_EQ(domain_.GetTranslationProperty(u"LANGUAGE"), u"de");
  EXPECT_EQ(domain_.GetTranslationProperty(u"Language-Team"), u"");
  EXPECT_EQ(domain_.GetTranslationProperty(u"X-Missing"), u"");
}

TEST_F(DomainTest, MissingSpecificFileFailsAndSettingTheDirectoryClearsIt) {
  Install(u"de", "basic");
  domain_.SetLanguageCode(u"de");
  domain_.SetFilename(dir_.u16() + kSep + u"nowhere.mo");
  EXPECT_EQ(domain_.Directory(), u"");
  EXPECT_EQ(Lookup("Hello"), "Hello");
  EXPECT_TRUE(domain_.OpenHasFailed());
  domain_.SetDirectory(Locale() + kSep);
  EXPECT_EQ(domain_.Directory(), Locale() + kSep);
  EXPECT_FALSE(domain_.OpenHasFailed());
  EXPECT_EQ(Lookup("Hello"), "Hallo");
  // A specific file is used whatever the language.
  domain_.SetFilename(Fixture("french").u16string());
  domain_.SetLanguageCode(u"xx");
  EXPECT_EQ(Lookup("Hello"), "Bonjour");
}

TEST_F(DomainTest, DamagedCatalogueFailsEveryLookupAndStaysClosed) {
  std::string bytes = ReadFileBytes(Fixture("basic"));
  bytes.resize(bytes.size() / 2);
  WriteFileBytes(fs::path(PathFor(u"de")), bytes);
  domain_.SetLanguageCode(u"de");
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_THROW(Lookup("Hello"), EGGIOError);
    EXPECT_FALSE(domain_.IsOpen());
    EXPECT_FALSE(domain_.OpenHasFailed());
  }
}

TEST_F(DomainTest, EmbeddedCatalogueIsAskedFirst) {
  std::u16string relative =
      u"locale" + kSep + u"pt_br" + kSep + u"LC_MESSAGES" + kSep + u"default.mo";
  WriteFileBytes(fs::path(Translation().ExecutablePath),
                 "program" + embedded_catalogues::BuildTable(
                                 {{Utf16ToUtf8(relative), ReadFileBytes(Fixture("basic"))}}));
  locator_.Analyze();
  Install(u"pt_BR", "french"); // the same path on disk loses
  Install(u"de", "basic");
  Install(u"FR", "french");
  fs::create_directories(fs::path(Locale() + kSep + u"it")); // no catalogue in it
  domain_.SetLanguageCode(u"pt_BR");
  EXPECT_EQ(Lookup("Hello"), "Hallo");

  TStringList<> languages;
  languages.Add(u"stale");
  domain_.GetListOfLanguages(languages);
  std::vector<std::u16string> names;
  for (int i = 0; i < languages.Count(); ++i)
    names.push_back(languages.Strings(i));
  std::sort(names.begin(), names.end());
  // The disk spells them in lower case; the embedded pt_br would be pt_BR, but the disk's
  // own pt_br came first.
  EXPECT_EQ(names, (std::vector<std::u16string>{u"de", u"fr", u"pt_br"}));
  domain_.SetLanguageCode(u"");
  fs::remove_all(fs::path(Locale()));
  domain_.GetListOfLanguages(languages);
  ASSERT_EQ(languages.Count(), 1);
  EXPECT_EQ(languages.Strings(0), u"pt_BR");
}

TEST_F(DomainTest, CharsetSpellingsThatDeclareUtf8) {
  Install(u"de", "lowercase_charset");
  domain_.SetLanguageCode(u"de");
  EXPECT_EQ(Lookup("Hello"), "Servus");
  EXPECT_TRUE(domain_.Enabled);
}

// Runs in a child copy of this test binary, started by the test below: the box of a
// refused catalogue stops the process until someone closes it.
TEST(DomainBoxChild, LooksUpInARefusedCatalogue) {
  const char* folder = std::getenv("SA_GETTEXT_BOX_CHILD");
  if (folder == nullptr)
    GTEST_SKIP() << "run by DomainBoxTest";
  TFileLocator locator;
  Translation().CatalogueLocator = &locator;
  TDomain domain;
  domain.Domain = u"default";
  domain.SetDirectory(Utf8ToUtf16(folder));
  domain.SetLanguageCode(u"de_DE");
  std::cout << "first:" << domain.gettext("Hello") << "\n";
  std::cout << "enabled:" << domain.Enabled << "\n";
  domain.SetLanguageCode(u"de");
  domain.SetDirectory(Utf8ToUtf16(folder));
  std::cout << "second:" << domain.gettext("Hello") << "\n";
  std::cout << "open:" << locator.OpenCatalogueCount() << "\n" << std::flush;
  Translation().CatalogueLocator = nullptr;
}

TEST(DomainBoxTest, CatalogueWithoutUtf8IsRefusedOnceWithABox) {
  for (const char* fixture : {"latin1", "nocharset"}) {
    SCOPED_TRACE(fixture);
    testing_support::ScopedTempDir dir;
    std::string locale = dir / "locale";
    std::string catalogue = Utf16ToUtf8(Utf8ToUtf16(locale) + kSep + u"de" + kSep + u"LC_MESSAGES" +
                                        kSep + u"default.mo");
    WriteFileBytes(fs::path(Utf8ToUtf16(catalogue)), ReadFileBytes(Fixture(fixture)));
    testing_support::ChildProcess child(Utf16ToUtf8(platform::OwnModuleFileName()),
                                        {"--gtest_filter=DomainBoxChild.*"},
                                        {{"SA_GETTEXT_BOX_CHILD", locale}}, dir.path());
    std::optional<std::string> box = child.TakeBox("Localization problem", 60000);
    ASSERT_TRUE(box.has_value()) << child.Stdout() << child.Stderr();
    EXPECT_EQ(*box, "The translation for the language code de_DE (in " + catalogue +
                        ") does not have charset=utf-8 in its Content-Type. Translations are "
                        "turned off.");
    // A second box would keep the child waiting.
    ASSERT_TRUE(child.WaitForExit(60000));
    EXPECT_EQ(child.ExitCode(), 0u);
    std::string out = child.Stdout();
    std::erase(out, '\r'); // text-mode output on Windows
    EXPECT_NE(out.find("first:Hello\nenabled:0\nsecond:Hello\nopen:0\n"), std::string::npos) << out;
    std::string err = child.Stderr();
    EXPECT_EQ(err.find("Localization problem"), err.rfind("Localization problem"));
  }
}

} // namespace
