// What the gnugettext unit holds from its start to its end, in one place.
#pragma once

#include "framework/ReaderWriterLock.h"
#include "framework/StringList.h"

#include <memory>
#include <string>

class TFileLocator;
class TGnuGettextInstance;
class THook;

/// The translation start-up fills it in the order the translation needs it; the shutdown
/// empties it again in its five steps, so that every step leaves a state the built-in
/// texts can still pass through.
struct TTranslationState {
  TTranslationState();
  ~TTranslationState();
  TTranslationState(const TTranslationState&) = delete;
  TTranslationState& operator=(const TTranslationState&) = delete;

  /// Full path of the running executable; set before the locator and the translator are
  /// made, read by both.
  std::u16string ExecutablePath;
  /// The locator in use: the start's own (LocatorOwner), or one lent by a program that
  /// makes its own.
  TFileLocator* CatalogueLocator = nullptr;
  std::unique_ptr<TFileLocator> LocatorOwner;
  /// Domain names consulted for built-in texts, in order; holds "default".
  std::unique_ptr<TStringList<>> BuiltInTextDomains;
  std::unique_ptr<TReaderWriterLock> BuiltInTextDomainsLock;
  /// The one translator.
  std::unique_ptr<TGnuGettextInstance> DefaultTranslator;
  /// The redirections of LoadResString, LoadStr and FmtLoadStr.
  std::unique_ptr<THook> ResourceRecordHook;
  std::unique_ptr<THook> TextByIdHook;
  std::unique_ptr<THook> FormatByIdHook;
};

/// The process's one translation state.
TTranslationState& Translation();
