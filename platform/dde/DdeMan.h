// The framework's DDE client conversation component on the DDE management library
// (platform/dde/Ddeml.h): one conversation with a service on a topic, and requests of
// items as text.
#pragma once

#include <memory>

#include "platform/dde/Ddeml.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"

LARK_DECLARE_EXCEPTION(EDdeError, Exception);

enum class TDataMode : Byte { ddeAutomatic, ddeManual };
using enum TDataMode;

class TDdeClientConv : public TComponent {
 public:
  LARK_CLASS_NAME(TDdeClientConv)
  explicit TDdeClientConv(TComponent* owner);
  ~TDdeClientConv() override;

  // ddeAutomatic (the default) opens the link as soon as SetLink names it.
  TDataMode GetConnectMode() const noexcept { return connectMode_; }
  void SetConnectMode(TDataMode mode) noexcept { connectMode_ = mode; }
  // Whether requests are made in the text format (the default) rather than as raw bytes
  // of the service's own format; both are answered as text here.
  bool GetFormatChars() const noexcept { return formatChars_; }
  void SetFormatChars(bool value) noexcept { formatChars_ = value; }
  const AnsiString& GetDdeService() const noexcept { return service_; }
  const AnsiString& GetDdeTopic() const noexcept { return topic_; }
  bool GetConnected() const noexcept { return conv_ != 0; }

  // Closes the current conversation, names the new service and topic and, in
  // automatic mode, connects; answers whether a conversation is open. EDdeError when
  // the DDE library cannot be started.
  bool SetLink(const AnsiString& service, const AnsiString& topic);
  // Connects to the service and topic named last; true when connected.
  bool OpenLink();
  void CloseLink();
  // The item's data as NUL-terminated text owned by the caller, or null when there
  // is no conversation, the service has no data for the item or the answer did not
  // come within 10,000 ms. A link in automatic mode is opened first when needed.
  std::unique_ptr<char[]> RequestData(const AnsiString& item);

 private:
  TDataMode connectMode_ = ddeAutomatic;
  bool formatChars_ = false;
  AnsiString service_;
  AnsiString topic_;
  DWORD instance_ = 0;
  HCONV conv_ = 0;
};

// How long RequestData waits for the service's answer.
inline constexpr DWORD kDdeRequestTimeoutMs = 10000;
