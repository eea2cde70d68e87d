// The gnugettext unit's start and end work: the process-wide translation objects, and
// the redirection of the runtime's three built-in text loaders through the translator.
#pragma once

#include "common/GNUgettext/THook.h"
#include "common/GNUgettext/TranslationState.h"
#include "framework/ReaderWriterLock.h"
#include "framework/Resources.h"
#include "framework/StringList.h"

#include <memory>
#include <span>
#include <string>

/// Start work: fills the unit's state (TranslationState.h): sets ExecutablePath, makes
/// and analyses the catalogue locator, the domain list, the translator and the hooks, and
/// puts the redirections in force. A failure (the system refusing to make code writable)
/// passes on; InitGnuGettext's end work then takes back what was done.
void InitGnuGettext();

/// End work, the five steps below in order. Copes with a start-up that stopped half-way.
void DoneGnuGettext();

/// Shutdown step 1: the translator; its domains give their catalogues back.
void ReleaseDefaultTranslator();
/// Step 2: the domain list and its lock; from here on texts pass untranslated.
void ReleaseTextDomainLists();
/// Step 3: the hooks; each loader gets its own first bytes back.
void RemoveTextRedirections();
/// Step 4: the catalogue locator.
void ReleaseCatalogueLocator();
/// Step 5: ExecutablePath is cleared.
void ClearExecutablePath();

/// Prepares the three hooks again and, with enable, puts them in force.
void InstallTextRedirections(bool enable, bool followImportJumps);

/// The first translation that differs from msgid among the built-in text domains, or
/// msgid with its line ends normalised. Empty texts, and every text once the domain lists
/// are gone, come back as they are.
std::u16string TranslateBuiltInText(const std::u16string& msgid);

/// The string-table text of that identifier from the first resource module that has
/// one, read with LoadStringW directly: the framework's loaders are redirected here.
std::u16string LoadTextById(unsigned Ident);

/// The replacements, with the signatures of the loaders they stand in for. The first is
/// the translator's LoadResString: no record gives an empty text, an identifier of 65,536
/// or more "ERROR", any other the whole text, translated.
std::u16string LoadResStringTranslated(const TResStringRec* ResStringRec);
std::u16string LoadTextByIdTranslated(unsigned Ident);
std::u16string FormatTextByIdTranslated(unsigned Ident, std::span<const FormatArg> Args);
