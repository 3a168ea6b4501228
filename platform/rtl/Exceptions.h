// The exception family. Every exception the system raises derives from Exception;
// anything else that is thrown counts as a foreign object.
#pragma once

#include <exception>

#include "platform/rtl/Types.h"

class Exception : public std::exception {
 public:
  explicit Exception(AnsiString message = {}, Integer helpContext = 0)
      : message_(std::move(message)), helpContext_(helpContext) {}
  ~Exception() override = default;

  const AnsiString& Message() const noexcept { return message_; }
  void SetMessage(AnsiString message) { message_ = std::move(message); }
  Integer HelpContext() const noexcept { return helpContext_; }
  void SetHelpContext(Integer value) noexcept { helpContext_ = value; }
  // The run-time class name, as shown by the application's exception box.
  virtual const char* ClassName() const noexcept { return "Exception"; }

  const char* what() const noexcept override { return message_.c_str(); }

 private:
  AnsiString message_;
  Integer helpContext_;
};

// Declares an exception class derived from Base that takes the same constructor
// arguments and reports its own class name.
#define LARK_DECLARE_EXCEPTION(Name, Base)                                  \
  class Name : public Base {                                                \
   public:                                                                  \
    using Base::Base;                                                       \
    const char* ClassName() const noexcept override { return #Name; }       \
  }

// "Silent" exception: unwinds without a message box.
LARK_DECLARE_EXCEPTION(EAbort, Exception);
LARK_DECLARE_EXCEPTION(EConvertError, Exception);
LARK_DECLARE_EXCEPTION(EListError, Exception);
LARK_DECLARE_EXCEPTION(EStringListError, Exception);
LARK_DECLARE_EXCEPTION(EComponentError, Exception);
LARK_DECLARE_EXCEPTION(EInvalidOperation, Exception);
LARK_DECLARE_EXCEPTION(EInvalidPointer, Exception);
LARK_DECLARE_EXCEPTION(EInvalidCast, Exception);
LARK_DECLARE_EXCEPTION(EOutOfMemory, Exception);
LARK_DECLARE_EXCEPTION(EOutOfResources, EOutOfMemory);
LARK_DECLARE_EXCEPTION(EThread, Exception);
LARK_DECLARE_EXCEPTION(EInOutError, Exception);
LARK_DECLARE_EXCEPTION(EIntError, Exception);
LARK_DECLARE_EXCEPTION(EDivByZero, EIntError);
LARK_DECLARE_EXCEPTION(ERangeError, EIntError);
LARK_DECLARE_EXCEPTION(EIntOverflow, EIntError);
LARK_DECLARE_EXCEPTION(EMathError, Exception);
LARK_DECLARE_EXCEPTION(EZeroDivide, EMathError);
LARK_DECLARE_EXCEPTION(EOverflow, EMathError);
LARK_DECLARE_EXCEPTION(EInvalidOp, EMathError);
LARK_DECLARE_EXCEPTION(EStreamError, Exception);
LARK_DECLARE_EXCEPTION(EFCreateError, EStreamError);
LARK_DECLARE_EXCEPTION(EFOpenError, EStreamError);
LARK_DECLARE_EXCEPTION(EFilerError, EStreamError);
LARK_DECLARE_EXCEPTION(EReadError, EFilerError);
LARK_DECLARE_EXCEPTION(EWriteError, EFilerError);
LARK_DECLARE_EXCEPTION(EIniFileException, Exception);

// An operating-system call failed; ErrorCode is the platform's error number.
class EOSError : public Exception {
 public:
  explicit EOSError(AnsiString message = {}, DWORD errorCode = 0)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  const char* ClassName() const noexcept override { return "EOSError"; }
  DWORD ErrorCode;
};
