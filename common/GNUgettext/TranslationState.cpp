// The process's one translation state.
#include "common/GNUgettext/TranslationState.h"

#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/GnuGettextInstance.h"
#include "common/GNUgettext/THook.h"

TTranslationState::TTranslationState() = default;
TTranslationState::~TTranslationState() = default;

TTranslationState& Translation() {
  static TTranslationState state;
  return state;
}
