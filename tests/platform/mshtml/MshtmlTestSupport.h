// What the document model's tests share: UTF-8 literals as wide strings and back,
// loading a page, and the HRESULT a failing call raises.
#pragma once

#include <functional>
#include <string>

#include "platform/mshtml/Document.h"
#include "platform/ole/OleErrors.h"

namespace mshtmltest {

inline WideString W(const std::string& utf8) { return mshtml::Utf8ToWide(utf8); }
inline std::string U(const WideString& wide) { return mshtml::WideToUtf8(wide); }
inline std::string U(const std::optional<WideString>& wide) { return wide ? U(*wide) : "<null>"; }

// The HRESULT that call raises as EOleSysError; S_OK when it raises nothing.
inline HRESULT ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EOleSysError& e) {
    return e.ErrorCode;
  }
  return S_OK;
}

// The body's markup of a document loaded from markup.
inline std::string BodyOf(const std::string& html) {
  mshtml::Document doc;
  doc.LoadHTML(W(html));
  return U(doc.GetBody()->GetInnerHTML());
}

}  // namespace mshtmltest
