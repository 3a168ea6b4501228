// THttpCli: answering 401 and 407 challenges with Basic or NTLM credentials. The
// decision is made when a request goes ready; a step either repeats the request
// (on the open connection when there is one) or ends it with the challenge status.
#include "net/HttpProt.h"
#include "net/NtlmMsgs.h"
#include "platform/rtl/Strings.h"
#include "platform/win/Messages.h"

namespace {

// The index of the last challenge whose first characters are scheme (compared with
// or without regard to case), or -1.
Integer LastChallenge(const TStrings& challenges, const AnsiString& scheme, bool ignoreCase) {
  for (Integer i = challenges.GetCount() - 1; i >= 0; --i) {
    const AnsiString head = Copy(challenges.Strings(i), 1, Length(scheme));
    if (ignoreCase ? SameText(head, scheme) : head == scheme) return i;
  }
  return -1;
}

// The NTLM message of a challenge value: what follows "NTLM ", at most 1000 characters.
AnsiString NtlmChallengeText(const AnsiString& value) { return Copy(value, 6, 1000); }

}  // namespace

// ---- The decision when the client goes ready -------------------------------------------

bool THttpCli::PrepareNTLMAuth() {
  if (Options.Contains(httpoNoNTLMAuth)) return false;
  if (AuthNTLMState == ntlmMsg3 && StatusCode != 401)
    AuthNTLMState = ntlmDone;
  else if (AuthNTLMState == ntlmDone && StatusCode == 401)
    AuthNTLMState = ntlmNone;
  if (ProxyAuthNTLMState == ntlmMsg3 && StatusCode != 407) {
    ProxyAuthNTLMState = ntlmDone;
  } else if (ProxyAuthNTLMState == ntlmDone && StatusCode == 407) {
    ProxyAuthNTLMState = ntlmNone;
    AuthNTLMState = ntlmNone;
  }
  if (StatusCode == 401 && AuthChallenges->GetCount() > 0 && !RequestUsername.empty() &&
      !RequestPassword.empty() && LastChallenge(*AuthChallenges, "NTLM", false) >= 0) {
    StartAuthNTLM();
    return true;
  }
  if (StatusCode == 407 && AuthChallenges->GetCount() > 0 && !ProxyUsername.empty() &&
      !ProxyPassword.empty() && LastChallenge(*AuthChallenges, "NTLM", false) >= 0) {
    StartProxyAuthNTLM();
    return true;
  }
  return false;
}

bool THttpCli::PrepareBasicAuth() {
  if (Options.Contains(httpoNoBasicAuth)) return false;
  if (AuthBasicState == basicMsg1 && StatusCode != 401)
    AuthBasicState = basicDone;
  else if (AuthBasicState == basicDone && StatusCode == 401)
    AuthBasicState = basicNone;
  if (ProxyAuthBasicState == basicMsg1 && StatusCode != 407) {
    ProxyAuthBasicState = basicDone;
  } else if (ProxyAuthBasicState == basicDone && StatusCode == 407) {
    ProxyAuthBasicState = basicNone;
    AuthBasicState = basicNone;
  }
  if (StatusCode == 401 && AuthChallenges->GetCount() > 0 && !RequestUsername.empty() &&
      !RequestPassword.empty() && LastChallenge(*AuthChallenges, "Basic", true) >= 0) {
    StartAuthBasic();
    return true;
  }
  if (StatusCode == 407 && AuthChallenges->GetCount() > 0 && !ProxyUsername.empty() &&
      !ProxyPassword.empty() && LastChallenge(*AuthChallenges, "Basic", true) >= 0) {
    StartProxyAuthBasic();
    return true;
  }
  return false;
}

// ---- Steps ---------------------------------------------------------------------------------

void THttpCli::RepeatRequest() {
  ++AuthRepeatCount;
  CleanupRcvdStream();
  CleanupSendStream();
  RcvdCnt = 0;
  ReceiveBuffer[0] = '\0';
  // The repeated request goes to the same document, also after a relocation.
  const AnsiString docName = DocName;
  const AnsiString location = Location;
  InternalClear();
  DocName = docName;
  Location = location;
  // The client is ready until the login runs; the synchronous wait and Abort know.
  AuthLoginPending = true;
  PostMessage(WindowHandle, WM_HTTP_LOGIN, RequestSerial, 0);
}

void THttpCli::GiveUpAuth() {
  AuthChallenges->Clear();
  ResetPendingAuth();
  TriggerRequestDone();
}

void THttpCli::StartAuthNTLM() {
  switch (AuthNTLMState) {
    case ntlmNone:
      if (AuthRepeatCount >= MaxAuthRepeats) break;
      NTLMAuthTarget = ntlmAuthNormal;
      // The third message must travel on the connection that carried the first.
      if (RequestVer == "1.0") Connection = "Keep-alive";
      AuthNTLMState = ntlmMsg1;
      RepeatRequest();
      return;
    case ntlmMsg1: {
      const Integer at = LastChallenge(*AuthChallenges, "NTLM", false);
      if (at < 0 || AuthRepeatCount >= MaxAuthRepeats) break;
      ServerChallenge = NtlmGetMessage2(NtlmChallengeText(AuthChallenges->Strings(at)));
      AuthNTLMState = ntlmMsg3;
      RepeatRequest();
      return;
    }
    case ntlmMsg3:
      // The answer to the third message was the challenge again: refused.
      break;
    default:
      throw EHttpException("Unexpected AuthNTLMState", 6);
  }
  AuthNTLMState = ntlmNone;
  GiveUpAuth();
}

void THttpCli::StartProxyAuthNTLM() {
  switch (ProxyAuthNTLMState) {
    case ntlmNone:
      if (AuthRepeatCount >= MaxAuthRepeats) break;
      NTLMAuthTarget = ntlmAuthProxy;
      if (RequestVer == "1.0") ProxyConnection = "Keep-alive";
      ProxyAuthNTLMState = ntlmMsg1;
      RepeatRequest();
      return;
    case ntlmMsg1: {
      const Integer at = LastChallenge(*AuthChallenges, "NTLM", false);
      if (at < 0 || AuthRepeatCount >= MaxAuthRepeats) break;
      ProxyChallenge = NtlmGetMessage2(NtlmChallengeText(AuthChallenges->Strings(at)));
      ProxyAuthNTLMState = ntlmMsg3;
      RepeatRequest();
      return;
    }
    case ntlmMsg3:
      break;
    default:
      throw EHttpException("Unexpected ProxyAuthNTLMState", 6);
  }
  ProxyAuthNTLMState = ntlmNone;
  GiveUpAuth();
}

void THttpCli::StartAuthBasic() {
  switch (AuthBasicState) {
    case basicNone:
      if (AuthRepeatCount >= MaxAuthRepeats) break;
      BasicAuthTarget = basicAuthNormal;
      AuthBasicState = basicMsg1;
      RepeatRequest();
      return;
    case basicMsg1:
      // The credentials were refused.
      break;
    default:
      throw EHttpException("Unexpected AuthBasicState", 6);
  }
  AuthBasicState = basicNone;
  GiveUpAuth();
}

void THttpCli::StartProxyAuthBasic() {
  switch (ProxyAuthBasicState) {
    case basicNone:
      if (AuthRepeatCount >= MaxAuthRepeats) break;
      BasicAuthTarget = basicAuthProxy;
      ProxyAuthBasicState = basicMsg1;
      RepeatRequest();
      return;
    case basicMsg1:
      break;
    default:
      throw EHttpException("Unexpected ProxyAuthBasicState", 6);
  }
  ProxyAuthBasicState = basicNone;
  GiveUpAuth();
}

// ---- State kept between requests and connections ------------------------------------------

void THttpCli::ResetConnectionAuth() {
  if (AuthNTLMState == ntlmDone) AuthNTLMState = ntlmNone;
  if (ProxyAuthNTLMState == ntlmDone) {
    ProxyAuthNTLMState = ntlmNone;
    AuthNTLMState = ntlmNone;
  }
  if (AuthBasicState == basicDone) AuthBasicState = basicNone;
  if (ProxyAuthBasicState == basicDone) {
    ProxyAuthBasicState = basicNone;
    AuthBasicState = basicNone;
  }
}

void THttpCli::ResetPendingAuth() {
  auto resetNtlm = [](THttpNTLMState& state) {
    if (state != ntlmDone) state = ntlmNone;
  };
  auto resetBasic = [](THttpBasicState& state) {
    if (state != basicDone) state = basicNone;
  };
  resetNtlm(AuthNTLMState);
  resetNtlm(ProxyAuthNTLMState);
  resetBasic(AuthBasicState);
  resetBasic(ProxyAuthBasicState);
}

// ---- The request head --------------------------------------------------------------------------

AnsiString THttpCli::GetNTLMMessage1() const { return NtlmGetMessage1("", ""); }

AnsiString THttpCli::GetNTLMMessage3() const {
  AnsiString host;
  try {
    host = LocalHostName();
  } catch (...) {
    // Sent without a host name.
  }
  if (NTLMAuthTarget == ntlmAuthProxy)
    return NtlmGetMessage3("", host, ProxyUsername, ProxyPassword, ProxyChallenge.Challenge.data());
  return NtlmGetMessage3("", host, RequestUsername, RequestPassword, ServerChallenge.Challenge.data());
}

bool THttpCli::SendingNTLMMessage1() const {
  return (NTLMAuthTarget == ntlmAuthNormal && AuthNTLMState == ntlmMsg1) ||
         (NTLMAuthTarget == ntlmAuthProxy && ProxyAuthNTLMState == ntlmMsg1);
}

AnsiString THttpCli::AuthorizationLine() const {
  if (NTLMAuthTarget == ntlmAuthNormal) {
    if (AuthNTLMState == ntlmMsg1) return "Authorization: NTLM " + GetNTLMMessage1();
    if (AuthNTLMState == ntlmMsg3) return "Authorization: NTLM " + GetNTLMMessage3();
  } else {
    if (ProxyAuthNTLMState == ntlmMsg1) return "Proxy-Authorization: NTLM " + GetNTLMMessage1();
    if (ProxyAuthNTLMState == ntlmMsg3) return "Proxy-Authorization: NTLM " + GetNTLMMessage3();
  }
  if (BasicAuthTarget == basicAuthNormal && AuthBasicState == basicMsg1)
    return "Authorization: Basic " + EncodeStr(encBase64, RequestUsername + ":" + RequestPassword);
  if (BasicAuthTarget == basicAuthProxy && ProxyAuthBasicState == basicMsg1)
    return "Proxy-Authorization: Basic " + EncodeStr(encBase64, ProxyUsername + ":" + ProxyPassword);
  return {};
}
