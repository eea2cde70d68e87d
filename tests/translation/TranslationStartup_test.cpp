// The translation start-up and shutdown in this test program, whose own loaders are
// redirected: the shipped catalogues lie in "locale" beside it, and "LANG" picks one.
#include "common/GNUgettext/TranslationStartup.h"

#include "common/GNUgettext/FileLocator.h"
#include "framework/Resources.h"
#include "framework/StringList.h"
#include "platform/environment.h"
#include "platform/module.h"
#include "platform/test_support/box_watcher.h"
#include "text/StringTableIds.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

using EntryBytes = std::array<std::uint8_t, 5>;

std::u16string (*const kResourceRecordLoader)(const TResStringRec*) = &LoadResString;
std::u16string (*const kTextByIdLoader)(unsigned) = &LoadStr;
std::u16string (*const kFormatByIdLoader)(unsigned, std::span<const FormatArg>) = &FmtLoadStr;

std::array<EntryBytes, 3> LoaderEntries() {
  const void* entries[] = {reinterpret_cast<const void*>(kResourceRecordLoader),
                           reinterpret_cast<const void*>(kTextByIdLoader),
                           reinterpret_cast<const void*>(kFormatByIdLoader)};
  std::array<EntryBytes, 3> bytes;
  for (size_t i = 0; i < bytes.size(); ++i)
    std::memcpy(bytes[i].data(), entries[i], bytes[i].size());
  return bytes;
}

std::u16string LoadRecord(unsigned ident) {
  TResStringRec record{nullptr, ident};
  return LoadResString(&record);
}

// Each test starts the translation with its language and ends it, whatever happens.
class Translation : public ::testing::Test {
protected:
  void Start(const char* lang) {
    ASSERT_TRUE(platform::SetEnvVar("LANG", lang));
    InitGnuGettext();
    started = true;
  }
  void TearDown() override {
    if (started)
      DoneGnuGettext();
    EXPECT_EQ(LoaderEntries(), untouched) << "a loader was left redirected";
  }

  const std::array<EntryBytes, 3> untouched = LoaderEntries();
  bool started = false;
};

TEST_F(Translation, StartUpMakesTheObjectsAndPutsTheRedirectionsInForce) {
  Start("de_DE.UTF-8");
  EXPECT_EQ(::Translation().ExecutablePath, platform::OwnModuleFileName());
  ASSERT_NE(::Translation().CatalogueLocator, nullptr);
  EXPECT_EQ(::Translation().CatalogueLocator->EmbeddedFiles().Count(), 0);
  ASSERT_NE(::Translation().BuiltInTextDomains, nullptr);
  ASSERT_EQ(::Translation().BuiltInTextDomains->Count(), 1);
  EXPECT_EQ(::Translation().BuiltInTextDomains->Strings(0), u"default");
  EXPECT_NE(::Translation().BuiltInTextDomainsLock, nullptr);
  EXPECT_NE(::Translation().DefaultTranslator, nullptr);

  auto entries = LoaderEntries();
  EXPECT_EQ(entries[0], ::Translation().ResourceRecordHook->PatchBytes());
  EXPECT_EQ(entries[1], ::Translation().TextByIdHook->PatchBytes());
  EXPECT_EQ(entries[2], ::Translation().FormatByIdHook->PatchBytes());
  EXPECT_EQ(::Translation().ResourceRecordHook->OriginalBytes(), untouched[0]);

  // A second start is refused before it touches anything; the shutdown still restores.
  EXPECT_THROW(InitGnuGettext(), EAssertionFailed);
  EXPECT_EQ(LoaderEntries()[1], ::Translation().TextByIdHook->PatchBytes());
  EXPECT_EQ(::Translation().TextByIdHook->OriginalBytes(), untouched[1]);
}

// Test tuple <LANG, identifier, through LoadResString, LoadStr, and FmtLoadStr with 42>.
struct Translated {
  const char* lang;
  unsigned ident;
  const char16_t* text;
};

TEST_F(Translation, EachLoaderReturnsTheTranslationOfTheLanguage) {
  const Translated cases[] = {
      {"de_DE.UTF-8", SOutOfMemory, u"Zu wenig Arbeitsspeicher"},
      {"de_DE.UTF-8", SListIndexError, u"Listenindex außerhalb des gültigen Bereichs (%d)"},
      // The catalogue's key has no CR; the translation gets CR LF back.
      {"de_DE.UTF-8", SOSError, u"Systemfehler. Code: %d.\r\n%s"},
      {"fr_FR", SFOpenError, u"Impossible d'ouvrir le fichier « %s ». %s"},
      {"fr", SListIndexError, u"Indice de liste hors limites (%d)"},
  };
  for (const Translated& c : cases) {
    SCOPED_TRACE(std::string(c.lang) + " " + std::to_string(c.ident));
    Start(c.lang);
    EXPECT_EQ(LoadRecord(c.ident), c.text);
    EXPECT_EQ(LoadStr(c.ident), c.text);
    DoneGnuGettext();
    started = false;
  }
}

TEST_F(Translation, FormattingFillsTheTranslatedFormat) {
  Start("de_DE.UTF-8");
  EXPECT_EQ(FmtLoadStr(SListIndexError, {FormatArg(42)}),
            u"Listenindex außerhalb des gültigen Bereichs (42)");
  EXPECT_EQ(FmtLoadStr(SOSError, {FormatArg(5), FormatArg(u"Zugriff verweigert")}),
            u"Systemfehler. Code: 5.\r\nZugriff verweigert");
}

TEST_F(Translation, FailuresOfTheRuntimeCarryTheTranslatedText) {
  Start("de_DE.UTF-8");
  TStringList<> list;
  list.Sorted = true;
  list.Duplicates = TDuplicates::dupError;
  list.Add(u"key");
  try {
    list.Add(u"KEY");
    ADD_FAILURE() << "a duplicate was accepted";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), u"Die Stringliste erlaubt keine Duplikate");
  }
}

TEST_F(Translation, WithoutCatalogueOnlyLineEndsChange) {
  Start("sv_SE.UTF-8"); // no Swedish catalogue is shipped
  EXPECT_EQ(LoadStr(SOSError), u"System error. Code: %d.\r\n%s");
  EXPECT_EQ(LoadRecord(SOutOfMemory), u"Out of memory");
  EXPECT_EQ(FmtLoadStr(SListIndexError, {FormatArg(7)}), u"List index out of bounds (7)");
  EXPECT_EQ(TranslateBuiltInText(u"one\rtwo"), u"onetwo");
  EXPECT_EQ(TranslateBuiltInText(u"one\ntwo"), u"one\r\ntwo");
  EXPECT_EQ(TranslateBuiltInText(u"one\r\ntwo"), u"one\r\ntwo");
}

TEST_F(Translation, EmptyMissingAndOutOfRangeTextsWithCatalogue) {
  Start("de_DE.UTF-8");
  // An empty text never turns into the catalogue's header.
  EXPECT_EQ(TranslateBuiltInText(u""), u"");
  EXPECT_EQ(LoadStr(12345), u"");
  EXPECT_EQ(LoadResString(nullptr), u"");
  EXPECT_EQ(LoadRecord(65536), u"ERROR");
  EXPECT_EQ(LoadRecord(SOutOfMemory), u"Zu wenig Arbeitsspeicher");
}

TEST_F(Translation, ShutdownStepByStep) {
  Start("de_DE.UTF-8");
  ASSERT_EQ(LoadStr(SOutOfMemory), u"Zu wenig Arbeitsspeicher");

  ReleaseDefaultTranslator();
  EXPECT_EQ(::Translation().DefaultTranslator, nullptr);
  EXPECT_EQ(LoadStr(SOutOfMemory), u"Out of memory");

  ReleaseTextDomainLists();
  EXPECT_EQ(::Translation().BuiltInTextDomainsLock, nullptr);
  EXPECT_EQ(::Translation().BuiltInTextDomains, nullptr);
  // Still redirected, yet untranslated and with line ends untouched.
  EXPECT_EQ(LoaderEntries()[1], ::Translation().TextByIdHook->PatchBytes());
  EXPECT_EQ(TranslateBuiltInText(u"one\ntwo\r"), u"one\ntwo\r");
  EXPECT_EQ(LoadStr(SOSError), u"System error. Code: %d.\r\n%s");
  EXPECT_EQ(LoadRecord(SOutOfMemory), u"Out of memory");
  EXPECT_EQ(FmtLoadStr(SListIndexError, {FormatArg(3)}), u"List index out of bounds (3)");

  RemoveTextRedirections();
  EXPECT_EQ(::Translation().FormatByIdHook, nullptr);
  EXPECT_EQ(::Translation().TextByIdHook, nullptr);
  EXPECT_EQ(::Translation().ResourceRecordHook, nullptr);
  EXPECT_EQ(LoaderEntries(), untouched);

  ReleaseCatalogueLocator();
  EXPECT_EQ(::Translation().CatalogueLocator, nullptr);
  ClearExecutablePath();
  EXPECT_TRUE(::Translation().ExecutablePath.empty());
  started = false;
}

TEST_F(Translation, CatalogueWithoutUtf8IsRefusedOnceAndTranslationStaysOff) {
  Start("xx_XX"); // locale/xx holds a catalogue that declares ISO-8859-1
  BoxWatcher boxes(u"Localization problem");
  EXPECT_EQ(LoadStr(SOutOfMemory), u"Out of memory");
  EXPECT_EQ(LoadRecord(SReadError), u"Stream read error");
  EXPECT_EQ(LoadStr(SOutOfMemory), u"Out of memory");
  boxes.Stop();
  EXPECT_EQ(boxes.Count(), 1);
  EXPECT_NE(boxes.LastText().find(u"The translation for the language code xx_XX (in "),
            std::u16string::npos)
      << std::string(boxes.LastText().begin(), boxes.LastText().end());
  EXPECT_NE(boxes.LastText().find(u"does not have charset=utf-8 in its Content-Type. "
                                  u"Translations are turned off."),
            std::u16string::npos);
}

// Run only inside a copy of this program that carries the German catalogue appended
// and has no "locale" beside it; the embedded-catalogue test of CTest starts it so.
TEST_F(Translation, EmbeddedCatalogueIsFoundInTheExecutable) {
  const char* run = std::getenv("SA_EMBEDDED_CATALOGUE_RUN");
  if (run == nullptr || std::string(run) != "1")
    GTEST_SKIP() << "runs in the copy with the appended catalogue";
  std::filesystem::path beside =
      std::filesystem::path(platform::OwnModuleFileName()).parent_path() / "locale";
  ASSERT_FALSE(std::filesystem::exists(beside));
  Start("de_DE.UTF-8");
  EXPECT_EQ(::Translation().CatalogueLocator->EmbeddedFiles().Count(), 1);
  EXPECT_EQ(LoadStr(SOutOfMemory), u"Zu wenig Arbeitsspeicher");
  EXPECT_EQ(LoadRecord(SReadError), u"Stream-Lesefehler");
  EXPECT_EQ(FmtLoadStr(SListIndexError, {FormatArg(1)}),
            u"Listenindex außerhalb des gültigen Bereichs (1)");
  ReleaseDefaultTranslator();
  ReleaseTextDomainLists();
  RemoveTextRedirections();
  EXPECT_EQ(LoaderEntries(), untouched);
  ReleaseCatalogueLocator();
  ClearExecutablePath();
  started = false;
}

} // namespace
