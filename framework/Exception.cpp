// The base failure class.
#include "framework/Exception.h"

#include "text/TextConvert.h"

Exception::Exception(std::u16string message, const void* raiseAddress)
    : fMessage(std::move(message)), fUtf8(Utf16ToUtf8(fMessage)), fRaiseAddress(raiseAddress) {}
