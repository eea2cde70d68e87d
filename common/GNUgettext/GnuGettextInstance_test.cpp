// The translator: language choice, plural rules, line ends and the domain operations.
#include "common/GNUgettext/GnuGettextInstance.h"

#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/TranslationState.h"
#include "common/GNUgettext/test_support.h"
#include "platform/environment.h"

#include <cstdlib>

using namespace gettext_test;

namespace {

const std::u16string kSep(1, PathSeparator());

TEST(PluralRulesTest, FormIndexPerLanguageRow) {
  // Test tuple <language code, count, form index>
  struct Case {
    const char16_t* language;
    std::int32_t n;
    int form;
  } cases[] = {
      {u"en", 1, 0},
      {u"en", 0, 1},
      {u"de_DE", 2, 1},
      {u"de", -1, 0},
      {u"hu", 1, 0},
      {u"ko", 7, 0},
      {u"zh", 2, 0},
      {u"ja", 0, 0},
      {u"tr", 1, 0},
      {u"fr", 0, 0},
      {u"fr", 1, 0},
      {u"fr", 2, 1},
      {u"fa", -1, 0},
      {u"pt_BR", 0, 0},
      {u"PT_br", 1, 0},
      {u"pt_BR", 2, 1},
      {u"pt_PT", 0, 1},
      {u"pt", 0, 1},
      {u"lv", 0, 2},
      {u"lv", 1, 0},
      {u"lv", 11, 1},
      {u"lv", 21, 0},
      {u"lv", 2, 1},
      {u"ga", 1, 0},
      {u"ga", 2, 1},
      {u"ga", 3, 2},
      {u"lt", 1, 0},
      {u"lt", 11, 2},
      {u"lt", 2, 1},
      {u"lt", 12, 2},
      {u"lt", 10, 2},
      {u"lt", 22, 1},
      {u"ru", 1, 0},
      {u"ru", 2, 1},
      {u"ru", 5, 2},
      {u"ru", 11, 2},
      {u"ru", 21, 0},
      {u"ru", 22, 1},
      {u"ru", 111, 2},
      {u"ru", -21, 0},
      {u"uk", 3, 1},
      {u"hr", 14, 2},
      {u"cs", 1, 0},
      {u"cs", 4, 1},
      {u"sk", 5, 2},
      {u"sk", 0, 2},
      {u"pl", 1, 0},
      {u"pl", 22, 1},
      {u"pl", 12, 2},
      {u"pl", 21, 2},
      {u"sl", 101, 0},
      {u"sl", 102, 1},
      {u"sl", 103, 2},
      {u"sl", 104, 2},
      {u"sl", 5, 3},
      {u"sl", -102, 1},
      {u"xx", 1, 0},
      {u"xx", 2, 1},
      {u"", 1, 0},
      {u"RU", 2, 1},
      {u"ru", -2147483647 - 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << Utf16ToUtf8(c.language) << " " << c.n);
    EXPECT_EQ(GetPluralFormFor(c.language)(c.n), c.form);
  }
}

TEST(SystemLanguageTest, LocaleNamesElseThreadLocale) {
  // Test tuple <language, country, thread locale, code>
  struct Case {
    std::u16string language, country;
    std::uint32_t thread;
    std::u16string code;
  } cases[] = {
      {u"de", u"AT", 0x0409, u"de_AT"},  {u"no", u"NO", 0, u"nb_NO"},
      {u"NO", u"NO", 0, u"nb_NO"},       {u"nn", u"NO", 0, u"nn_NO"},
      {u"fil", u"PH", 0x0412, u"ko_KO"}, {u"de", u"", 0x0407, u"de_DE"},
      {u"", u"", 0x1007, u"de_LU"},      {u"", u"", 0x0C0A, u"es_ES"},
      {u"", u"", 0x040A, u"es_ES"},      {u"", u"", 0x0816, u"pt_PT"},
      {u"", u"", 0x0414, u"nb_NO"},      {u"", u"", 0x0814, u"nn_NO"},
      {u"", u"", 0x0401, u"C"},          {u"", u"", 0, u"C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.code));
    EXPECT_EQ(SystemLanguageFrom({c.language, c.country}, c.thread), c.code);
  }
}

/// A translator made for a program folder of its own, with LANG as the test sets it.
class TranslatorTest : public ::testing::Test {
protected:
  void SetUp() override {
    const char* lang = std::getenv("LANG");
    savedLang_ = lang ? lang : "";
    savedPath_ = Translation().ExecutablePath;
    savedLocator_ = Translation().CatalogueLocator;
    Translation().ExecutablePath = dir_.u16() + kSep + u"prog.exe";
    Translation().CatalogueLocator = &locator_;
    fs::create_directories(dir_.folder() / "locale");
  }
  void TearDown() override {
    translator_.reset(); // its domains give their catalogues back first
    Translation().CatalogueLocator = savedLocator_;
    Translation().ExecutablePath = savedPath_;
    platform::SetEnvVar("LANG", savedLang_);
  }

  void Install(const std::u16string& language, const std::string& fixture,
               const std::u16string& domain = u"default") {
    WriteFileBytes(fs::path(dir_.u16() + kSep + u"locale" + kSep + language + kSep +
                            u"LC_MESSAGES" + kSep + domain + u".mo"),
                   ReadFileBytes(Fixture(fixture)));
  }

  TGnuGettextInstance& Make(const std::string& lang) {
    platform::SetEnvVar("LANG", lang);
    translator_ = std::make_unique<TGnuGettextInstance>();
    return *translator_;
  }

  ScopedTempDir dir_;
  TFileLocator locator_;
  std::unique_ptr<TGnuGettextInstance> translator_;
  std::string savedLang_;
  std::u16string savedPath_;
  TFileLocator* savedLocator_ = nullptr;
};

TEST_F(TranslatorTest, LangChoosesTheLanguageAndTheCatalogue) {
  Install(u"de", "basic");
  TGnuGettextInstance& t = Make("de_DE.UTF-8");
  EXPECT_EQ(t.GetCurrentLanguage(), u"de_DE");
  EXPECT_EQ(t.getcurrenttextdomain(), u"default");
  EXPECT_EQ(t.GetDefaultDomainDirectory(), dir_.u16() + kSep + u"locale");
  EXPECT_EQ(t.FindOrCreateDomain(u"default").Directory(), dir_.u16() + kSep + u"locale" + kSep);
  EXPECT_EQ(t.gettext(u"Hello"), u"Hallo"); // de_DE is missing: de serves
  EXPECT_EQ(t.ngettext(u"file", u"files", 2), u"Dateien");
  EXPECT_EQ(t.GetTranslatorNameAndEmail(), u"Erika Mustermann <erika@example.org>");
  Install(u"de_DE", "french");
  t.UseLanguage(u""); // closes the catalogue: the next lookup searches again
  EXPECT_EQ(t.gettext(u"Hello"), u"Bonjour");
}

TEST_F(TranslatorTest, WithoutLocaleFolderTheParentsIsUsed) {
  fs::remove_all(dir_.folder() / "locale");
  TGnuGettextInstance& t = Make("de");
  EXPECT_EQ(t.GetDefaultDomainDirectory(), dir_.u16() + kSep + u".." + kSep + u"locale");
  EXPECT_EQ(t.gettext(u"Hello"), u"Hello");
}

TEST_F(TranslatorTest, EmptyLangFallsBackToTheSystemLanguage) {
  TGnuGettextInstance& t = Make("");
  EXPECT_EQ(t.GetCurrentLanguage(), GetSystemLanguage().substr(0, GetSystemLanguage().find(u'.')));
  t.UseLanguage(u"pt_BR.ISO-8859-1"); // a code given by the caller is used unchanged
  EXPECT_EQ(t.GetCurrentLanguage(), u"pt_BR.ISO-8859-1");
}

TEST_F(TranslatorTest, LineEndsAreNormalisedWithAndWithoutCatalogue) {
  Install(u"de", "basic");
  TGnuGettextInstance& t = Make("de");
  // Test tuple <source text, result>
  std::pair<std::u16string, std::u16string> cases[] = {
      {u"a\rb", u"ab"},
      {u"a\nb", u"a\r\nb"},
      {u"a\r\nb", u"a\r\nb"},
      {u"\n\n", u"\r\n\r\n"},
      {u"two\nlines", u"zwei\r\nZeilen"},
      {u"two\r\nlines", u"zwei\r\nZeilen"},
      {u"two\r\rlines", u"twolines"},
      {u"Hello", u"Hallo"},
  };
  for (const auto& [source, expected] : cases) {
    SCOPED_TRACE(Utf16ToUtf8(source));
    EXPECT_EQ(t.gettext(source), expected);
  }
  t.Enabled = false;
  EXPECT_EQ(t.gettext(u"a\rb\n"), u"a\rb\n");
  EXPECT_EQ(t.dngettext(u"default", u"file", u"files", 1), u"file");
}

TEST_F(TranslatorTest, LineEndsAreFoundAnywhereInLongerTexts) {
  TGnuGettextInstance& t = Make("de"); // no catalogue: the source text comes back
  // Each place of the line end in texts of 1 to 24 bytes: before, inside and after the
  // eight-byte words the search tests at once.
  for (size_t length = 1; length <= 24; ++length) {
    for (size_t at = 0; at < length; ++at) {
      std::u16string text(length, u'x');
      SCOPED_TRACE(testing::Message() << length << " characters, line end at " << at);
      text[at] = u'\r';
      std::u16string withoutCr = text;
      withoutCr.erase(at, 1);
      EXPECT_EQ(t.gettext(text), withoutCr);
      text[at] = u'\n';
      std::u16string withCr = text;
      withCr.insert(at, 1, u'\r');
      EXPECT_EQ(t.gettext(text), withCr);
    }
  }
  // Keys too long for the translator's stack buffer take the other way.
  for (size_t length : {85, 86, 300}) {
    SCOPED_TRACE(testing::Message() << length << " characters");
    std::u16string text(length, u'\u00e4');
    text[length / 2] = u'\r';
    text.back() = u'\n';
    std::u16string expected = text;
    expected.erase(length / 2, 1);
    expected.insert(expected.size() - 1, 1, u'\r');
    EXPECT_EQ(t.gettext(text), expected);
  }
}

/// Records the notifications and lets a test set its own plural rule.
class RecordingTranslator : public TGnuGettextInstance {
public:
  void NotifyNewDomain(const std::u16string& domain) override {
    events.push_back(u"domain " + domain);
  }
  void NotifyNewDomainDirectory(const std::u16string& domain,
                                const std::u16string& directory) override {
    events.push_back(u"directory " + domain + u" " + directory);
  }
  void SetPluralRule(TGetPluralForm rule) { curGetPluralForm = rule; }
  std::vector<std::u16string> events;
};

TEST_F(TranslatorTest, PluralFormsOfTranslatedAndUntranslatedPairs) {
  Install(u"ru", "ru");
  platform::SetEnvVar("LANG", "ru_RU.UTF-8");
  RecordingTranslator t;
  // Test tuple <count, translated form, untranslated form>
  struct Case {
    std::int32_t n;
    std::u16string translated, untranslated;
  } cases[] = {
      {1, u"файл", u"%d apple"},   {2, u"файла", u"%d apples"},  {5, u"файлов", u"%d apples"},
      {21, u"файл", u"%d apples"}, {0, u"файлов", u"%d apples"}, {-1, u"файл", u"%d apple"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(t.ngettext(u"file", u"files", c.n), c.translated);
    EXPECT_EQ(t.dngettext(u"default", u"%d apple", u"%d apples", c.n), c.untranslated);
  }
  // Three forms asked for the sixth: the last one.
  t.SetPluralRule([](std::int32_t) { return 5; });
  EXPECT_EQ(t.ngettext(u"file", u"files", 3), u"файлов");
  EXPECT_EQ(t.ngettext_NoExtract(u"file", u"files", 3), u"файлов");
}

TEST_F(TranslatorTest, DomainsDirectoriesFilesAndNotifications) {
  Install(u"de", "french", u"extra");
  fs::path file = dir_.folder() / "single.mo";
  WriteFileBytes(file, ReadFileBytes(Fixture("ru")));
  platform::SetEnvVar("LANG", "de");
  RecordingTranslator t;
  t.bindtextdomain(u"other", dir_.u16() + kSep + u"locale");
  t.bindtextdomainToFile(u"single", file.u16string());
  t.textdomain(u"extra"); // made on first use, with the default directory
  EXPECT_EQ(t.events, (std::vector<std::u16string>{
                          u"directory other " + dir_.u16() + kSep + u"locale", u"domain extra"}));
  EXPECT_EQ(t.gettext(u"Hello"), u"Bonjour");
  EXPECT_EQ(t.dgettext(u"single", u"Hello"), u"Привет");
  EXPECT_EQ(t.dgettext(u"other", u"Hello"), u"Hello");
  EXPECT_EQ(t.dgettext(u"EXTRA", u"Hello"), u"Bonjour"); // names ignore case
  EXPECT_EQ(t.gettext_NoOp(u"Hello"), u"Hello");
  EXPECT_EQ(t.dgettext_NoOp(u"extra", u"Hello"), u"Hello");
  EXPECT_EQ(t.dgettext_NoExtract(u"extra", u"Hello"), u"Bonjour");
  TStringList<> languages;
  t.GetListOfLanguages(u"extra", languages);
  ASSERT_EQ(languages.Count(), 1);
  EXPECT_EQ(languages.Strings(0), u"de");
  t.SearchAllDomains = true;
  t.textdomain(u"other");
  // "default" has no catalogue; "single", next in table order, has the text.
  EXPECT_EQ(t.gettext(u"Hello"), u"Привет");
  // This translator keeps no debug log: asked for one, unpaused, it writes nothing and
  // answers as before.
  const fs::path log = dir_.folder() / "translator.log";
  t.DebugLogToFile(log.u16string(), true);
  t.DebugLogPause(false);
  EXPECT_EQ(t.gettext(u"Hello"), u"Привет");
  EXPECT_EQ(t.dgettext(u"EXTRA", u"Hello"), u"Bonjour");
  t.DebugLogPause(true);
  EXPECT_FALSE(fs::exists(log));
}

TEST_F(TranslatorTest, DamagedCatalogueReachesTheCaller) {
  WriteFileBytes(dir_.folder() / "locale" / "de" / "LC_MESSAGES" / "default.mo",
                 "damaged catalogue");
  TGnuGettextInstance& t = Make("de");
  EXPECT_THROW(t.gettext(u"Hello"), EGGIOError);
}

class CountingListener : public IGnuGettextInstanceWhenNewLanguageListener {
public:
  void WhenNewLanguage(const std::u16string& LanguageID) override { heard.push_back(LanguageID); }
  std::vector<std::u16string> heard;
};

TEST_F(TranslatorTest, ListenersHearNewLanguagesInOrderOfRegistration) {
  TGnuGettextInstance& t = Make("de");
  CountingListener first, second;
  t.RegisterWhenNewLanguageListener(&first);
  t.RegisterWhenNewLanguageListener(&second);
  t.UseLanguage(u"fr");
  t.UnregisterWhenNewLanguageListener(&first);
  t.UseLanguage(u"sl");
  EXPECT_EQ(first.heard, (std::vector<std::u16string>{u"fr"}));
  EXPECT_EQ(second.heard, (std::vector<std::u16string>{u"fr", u"sl"}));
}

TEST_F(TranslatorTest, GlobalIgnoredPropertiesInClassOrder) {
  TGnuGettextInstance& t = Make("de");
  const auto& modes = t.GlobalClassHandling();
  ASSERT_EQ(modes.size(), 2u);
  EXPECT_EQ(modes[0]->HClass, &TComponentClass);
  EXPECT_EQ(modes[0]->PropertiesToIgnore.Strings(0), u"NAME");
  EXPECT_EQ(modes[1]->HClass, &TCollectionClass);
  EXPECT_EQ(modes[1]->PropertiesToIgnore.Strings(0), u"PROPNAME");
  // A derived class goes before the class it derives from.
  static const TClassInfo button{u"TButton", &TComponentClass};
  t.TP_GlobalIgnoreClassProperty(&button, u"caption");
  t.TP_GlobalIgnoreClassProperty(&button, u"Caption");
  ASSERT_EQ(modes.size(), 3u);
  EXPECT_EQ(modes[0]->HClass, &button);
  EXPECT_EQ(modes[0]->PropertiesToIgnore.Count(), 1);
}

} // namespace
