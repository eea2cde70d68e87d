// The failures of the translation subsystem.
#pragma once

#include "framework/Exception.h"

SA_DECLARE_EXCEPTION(EGnuGettext, Exception);
/// A catalogue that cannot be opened or is not a valid MO catalogue.
SA_DECLARE_EXCEPTION(EGGIOError, EGnuGettext);
/// A misuse of the component-translation registrations.
SA_DECLARE_EXCEPTION(EGGProgrammingError, EGnuGettext);
SA_DECLARE_EXCEPTION(EGGComponentError, EGnuGettext);
