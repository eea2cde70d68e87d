// Translation start-up and shutdown, and the built-in text path through the translator.
#include "common/GNUgettext/TranslationStartup.h"

#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/GnuGettextInstance.h"
#include "framework/SysUtils.h"
#include "platform/module.h"
#include "platform/string_table.h"

#include <mutex>
#include <shared_mutex>

namespace {

// Clears the process-wide reference first, so that nothing reaches the object while it
// is being destroyed, then destroys it.
template <typename T> void Release(std::unique_ptr<T>& reference) {
  std::unique_ptr<T> object = std::move(reference);
  object.reset();
}

std::unique_ptr<TStringList<>> ListOfDefaultDomain() {
  auto list = std::make_unique<TStringList<>>();
  list->Add(u"default");
  return list;
}

void* CodeOf(auto function) {
  return reinterpret_cast<void*>(function);
}

} // namespace

void InitGnuGettext() {
  TTranslationState& state = Translation();
  // A second start would take the redirected entries for the loaders' own bytes and
  // leave the loaders redirected for good at shutdown.
  Assert(!state.ResourceRecordHook && !state.TextByIdHook && !state.FormatByIdHook &&
             !state.DefaultTranslator,
         u"Translation start-up ran twice");
  state.ExecutablePath = platform::OwnModuleFileName();
  state.LocatorOwner = std::make_unique<TFileLocator>();
  state.CatalogueLocator = state.LocatorOwner.get();
  state.CatalogueLocator->Analyze();
  state.BuiltInTextDomains = ListOfDefaultDomain();
  state.BuiltInTextDomainsLock = std::make_unique<TReaderWriterLock>();
  state.DefaultTranslator = std::make_unique<TGnuGettextInstance>();

  // The explicit types pick the loaders of these signatures among their overloads.
  std::u16string (*resourceRecordLoader)(const TResStringRec*) = &LoadResString;
  std::u16string (*textByIdLoader)(unsigned) = &LoadStr;
  std::u16string (*formatByIdLoader)(unsigned, std::span<const FormatArg>) = &FmtLoadStr;
  state.ResourceRecordHook =
      std::make_unique<THook>(CodeOf(resourceRecordLoader), CodeOf(&LoadResStringTranslated));
  state.TextByIdHook =
      std::make_unique<THook>(CodeOf(textByIdLoader), CodeOf(&LoadTextByIdTranslated));
  state.FormatByIdHook =
      std::make_unique<THook>(CodeOf(formatByIdLoader), CodeOf(&FormatTextByIdTranslated));
  InstallTextRedirections(true, false);
}

void DoneGnuGettext() {
  ReleaseDefaultTranslator();
  ReleaseTextDomainLists();
  RemoveTextRedirections();
  ReleaseCatalogueLocator();
  ClearExecutablePath();
}

void ReleaseDefaultTranslator() {
  Release(Translation().DefaultTranslator);
}

void ReleaseTextDomainLists() {
  TTranslationState& state = Translation();
  Release(state.BuiltInTextDomainsLock);
  Release(state.BuiltInTextDomains);
}

void RemoveTextRedirections() {
  TTranslationState& state = Translation();
  // Taken out of force while still referenced: should that fail, the hook stays for a
  // later attempt instead of failing again inside its destruction.
  for (std::unique_ptr<THook>* hook :
       {&state.FormatByIdHook, &state.TextByIdHook, &state.ResourceRecordHook}) {
    if (*hook == nullptr)
      continue;
    if ((*hook)->Position() != nullptr)
      (*hook)->Disable();
    Release(*hook);
  }
}

void ReleaseCatalogueLocator() {
  TTranslationState& state = Translation();
  state.CatalogueLocator = nullptr;
  Release(state.LocatorOwner);
}

void ClearExecutablePath() {
  Translation().ExecutablePath.clear();
}

void InstallTextRedirections(bool enable, bool followImportJumps) {
  TTranslationState& state = Translation();
  state.ResourceRecordHook->Reset(followImportJumps);
  state.TextByIdHook->Reset(followImportJumps);
  state.FormatByIdHook->Reset(followImportJumps);
  if (enable) {
    state.ResourceRecordHook->Enable();
    state.TextByIdHook->Enable();
    state.FormatByIdHook->Enable();
  }
}

std::u16string TranslateBuiltInText(const std::u16string& msgid) {
  TTranslationState& state = Translation();
  TReaderWriterLock* lock = state.BuiltInTextDomainsLock.get();
  // The translator goes first at shutdown; a text loaded while it is destroyed (a
  // failure report, say) must not reach it.
  TGnuGettextInstance* translator = state.DefaultTranslator.get();
  if (msgid.empty() || lock == nullptr || translator == nullptr)
    return msgid;
  // Before the locator's lock, which the first lookup takes to open the catalogue.
  std::shared_lock<TReaderWriterLock> guard(*lock);
  std::u16string result = msgid;
  for (int i = 0; i < state.BuiltInTextDomains->Count(); ++i) {
    result = translator->dgettext(state.BuiltInTextDomains->Strings(i), msgid);
    if (result != msgid)
      break;
  }
  return result;
}

std::u16string LoadTextById(unsigned Ident) {
  // Read whole, as the loader it stands in for does: a long text is not cut short.
  return LoadTextFromModules(Ident);
}

std::u16string LoadResStringTranslated(const TResStringRec* ResStringRec) {
  return TGnuGettextInstance::LoadResString(ResStringRec);
}

std::u16string TGnuGettextInstance::LoadResString(const TResStringRec* ResStringRec) {
  // Uses no state of the instance, which is gone from shutdown step 1 on while the
  // redirection stays in force until step 3.
  return LoadRecordText(ResStringRec, TranslateBuiltInText);
}

std::u16string LoadTextByIdTranslated(unsigned Ident) {
  return TranslateBuiltInText(LoadTextById(Ident));
}

std::u16string FormatTextByIdTranslated(unsigned Ident, std::span<const FormatArg> Args) {
  return Format(TranslateBuiltInText(LoadTextById(Ident)), Args);
}
