// The DDE client conversation component.
#include "platform/dde/DdeMan.h"

#include <cstring>

TDdeClientConv::TDdeClientConv(TComponent* owner) : TComponent(owner) {}

TDdeClientConv::~TDdeClientConv() {
  CloseLink();
  if (instance_ != 0) DdeUninitialize(instance_);
}

bool TDdeClientConv::SetLink(const AnsiString& service, const AnsiString& topic) {
  CloseLink();
  service_ = service;
  topic_ = topic;
  if (connectMode_ == ddeAutomatic) return OpenLink();
  return true;
}

bool TDdeClientConv::OpenLink() {
  if (conv_ != 0) return true;
  if (instance_ == 0 && DdeInitialize(&instance_, nullptr, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
    instance_ = 0;
    throw EDdeError("Unable to initialize DDE");
  }
  const HSZ service = DdeCreateStringHandle(instance_, service_.c_str(), CP_WINANSI);
  const HSZ topic = DdeCreateStringHandle(instance_, topic_.c_str(), CP_WINANSI);
  conv_ = DdeConnect(instance_, service, topic, nullptr);
  DdeFreeStringHandle(instance_, service);
  DdeFreeStringHandle(instance_, topic);
  return conv_ != 0;
}

void TDdeClientConv::CloseLink() {
  if (conv_ == 0) return;
  DdeDisconnect(conv_);
  conv_ = 0;
}

std::unique_ptr<char[]> TDdeClientConv::RequestData(const AnsiString& item) {
  if (conv_ == 0 && (connectMode_ != ddeAutomatic || service_.empty() || !OpenLink())) return nullptr;
  const HSZ hsz = DdeCreateStringHandle(instance_, item.c_str(), CP_WINANSI);
  const HDDEDATA data =
      DdeClientTransaction(nullptr, 0, conv_, hsz, CF_TEXT, XTYP_REQUEST, kDdeRequestTimeoutMs, nullptr);
  DdeFreeStringHandle(instance_, hsz);
  if (data == 0) {
    // The library ends a conversation whose answer failed; forget it too.
    if (DdeGetLastError(instance_) != DMLERR_NOTPROCESSED) CloseLink();
    return nullptr;
  }
  DWORD size = 0;
  const BYTE* bytes = DdeAccessData(data, &size);
  auto text = std::make_unique<char[]>(size_t{size} + 1);
  if (size > 0) std::memcpy(text.get(), bytes, size);
  text[size] = '\0';
  DdeUnaccessData(data);
  DdeFreeDataHandle(data);
  return text;
}
