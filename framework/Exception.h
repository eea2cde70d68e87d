// The base of the system's failure classes: a UTF-16 message, the class's own name and
// the code address at which the failure was raised.
#pragma once

#include "platform/code_address.h"

#include <exception>
#include <string>

class Exception : public std::exception {
public:
  /// The default argument is evaluated at the raise site, so it marks where the
  /// failure was raised, also for derived classes that inherit this constructor.
  explicit Exception(std::u16string message,
                     const void* raiseAddress = platform::CurrentCodeAddress());

  /// The class's name as reports show it.
  virtual const char16_t* ClassName() const { return u"Exception"; }

  const std::u16string& Message() const { return fMessage; }
  const void* RaiseAddress() const { return fRaiseAddress; }
  const char* what() const noexcept override { return fUtf8.c_str(); }

private:
  std::u16string fMessage;
  std::string fUtf8;
  const void* fRaiseAddress;
};

/// Declares a failure class that inherits its base's constructors and names itself.
#define SA_DECLARE_EXCEPTION(Name, Base)                                                        \
  class Name : public Base {                                                                    \
  public:                                                                                       \
    using Base::Base;                                                                           \
    const char16_t* ClassName() const override { return u"" #Name; }                            \
  }

/// The runtime's assertion failure; its message is "%s (%s, line %d)" filled in.
SA_DECLARE_EXCEPTION(EAssertionFailed, Exception);

/// A failed operating-system call, with the system's text for the error code.
class EOSError : public Exception {
public:
  EOSError(std::u16string message, std::uint32_t errorCode,
           const void* raiseAddress = platform::CurrentCodeAddress())
      : Exception(std::move(message), raiseAddress), fErrorCode(errorCode) {}
  const char16_t* ClassName() const override { return u"EOSError"; }
  std::uint32_t ErrorCode() const { return fErrorCode; }

private:
  std::uint32_t fErrorCode;
};

/// Failures of the runtime's own containers and streams.
SA_DECLARE_EXCEPTION(EListError, Exception);
SA_DECLARE_EXCEPTION(EStreamError, Exception);
SA_DECLARE_EXCEPTION(EConvertError, Exception);

/// The silent failure: reports drop it.
SA_DECLARE_EXCEPTION(EAbort, Exception);

/// A resource the system could not get, such as the application window's class.
SA_DECLARE_EXCEPTION(EOutOfResources, Exception);
