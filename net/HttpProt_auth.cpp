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

// A challenge of scheme came and there are credentials to answer it with.
bool Answerable(const TStrings& challenges, const AnsiString& user, const AnsiString& password,
                const AnsiString& scheme, bool ignoreCase) {
  return challenges.GetCount() > 0 && !user.empty() && !password.empty() &&
         LastChallenge(challenges, scheme, ignoreCase) >= 0;
}

// The states of an exchange with the server and with the proxy, after a response: a
// last step that was not challenged again is done, a done exchange challenged again
// starts over, and the proxy's starting over takes the server's along.
template <typename State>
void AfterResponse(State& server, State& proxy, Integer status, State lastStep, State done, State none) {
  if (server == lastStep && status != 401)
    server = done;
  else if (server == done && status == 401)
    server = none;
  if (proxy == lastStep && status != 407) {
    proxy = done;
  } else if (proxy == done && status == 407) {
    proxy = none;
    server = none;
  }
}

// A new connection: done exchanges start over, the proxy's taking the server's along.
template <typename State>
void ForgetDone(State& server, State& proxy, State done, State none) {
  if (server == done) server = none;
  if (proxy == done) {
    proxy = none;
    server = none;
  }
}

// The NTLM message of a challenge value: what follows "NTLM ", at most 1000 characters.
AnsiString NtlmChallengeText(const AnsiString& value) { return Copy(value, 6, 1000); }

}  // namespace

// ---- The decision when the client goes ready -------------------------------------------

bool THttpCli::PrepareNTLMAuth() {
  if (Options.Contains(httpoNoNTLMAuth)) return false;
  AfterResponse(AuthNTLMState, ProxyAuthNTLMState, StatusCode, ntlmMsg3, ntlmDone, ntlmNone);
  if (StatusCode == 401 && Answerable(*AuthChallenges, RequestUsername, RequestPassword, "NTLM", false)) {
    StartAuthNTLM();
    return true;
  }
  if (StatusCode == 407 && Answerable(*AuthChallenges, ProxyUsername, ProxyPassword, "NTLM", false)) {
    StartProxyAuthNTLM();
    return true;
  }
  return false;
}

bool THttpCli::PrepareBasicAuth() {
  if (Options.Contains(httpoNoBasicAuth)) return false;
  AfterResponse(AuthBasicState, ProxyAuthBasicState, StatusCode, basicMsg1, basicDone, basicNone);
  if (StatusCode == 401 && Answerable(*AuthChallenges, RequestUsername, RequestPassword, "Basic", true)) {
    StartAuthBasic();
    return true;
  }
  if (StatusCode == 407 && Answerable(*AuthChallenges, ProxyUsername, ProxyPassword, "Basic", true)) {
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

void THttpCli::StartAuthNTLM() { StepNTLM(false); }

void THttpCli::StartProxyAuthNTLM() { StepNTLM(true); }

void THttpCli::StartAuthBasic() { StepBasic(false); }

void THttpCli::StartProxyAuthBasic() { StepBasic(true); }

void THttpCli::StepNTLM(bool proxy) {
  THttpNTLMState& state = proxy ? ProxyAuthNTLMState : AuthNTLMState;
  switch (state) {
    case ntlmNone:
      if (AuthRepeatCount >= kMaxAuthRepeats) break;
      NTLMAuthTarget = proxy ? ntlmAuthProxy : ntlmAuthNormal;
      // The third message must travel on the connection that carried the first.
      if (RequestVer == "1.0") (proxy ? ProxyConnection : Connection) = "Keep-alive";
      state = ntlmMsg1;
      RepeatRequest();
      return;
    case ntlmMsg1: {
      const Integer at = LastChallenge(*AuthChallenges, "NTLM", false);
      if (at < 0 || AuthRepeatCount >= kMaxAuthRepeats) break;
      const TNTLM_Msg2_Info challenge = NtlmGetMessage2(NtlmChallengeText(AuthChallenges->Strings(at)));
      (proxy ? ProxyChallenge : ServerChallenge) = challenge;
      state = ntlmMsg3;
      RepeatRequest();
      return;
    }
    case ntlmMsg3:
      // The answer to the third message was the challenge again: refused.
      break;
    default:
      throw EHttpException(proxy ? "Unexpected ProxyAuthNTLMState" : "Unexpected AuthNTLMState", 6);
  }
  state = ntlmNone;
  GiveUpAuth();
}

void THttpCli::StepBasic(bool proxy) {
  THttpBasicState& state = proxy ? ProxyAuthBasicState : AuthBasicState;
  switch (state) {
    case basicNone:
      if (AuthRepeatCount >= kMaxAuthRepeats) break;
      BasicAuthTarget = proxy ? basicAuthProxy : basicAuthNormal;
      state = basicMsg1;
      RepeatRequest();
      return;
    case basicMsg1:
      // The credentials were refused.
      break;
    default:
      throw EHttpException(proxy ? "Unexpected ProxyAuthBasicState" : "Unexpected AuthBasicState", 6);
  }
  state = basicNone;
  GiveUpAuth();
}

// ---- State kept between requests and connections ------------------------------------------

void THttpCli::ResetConnectionAuth() {
  ForgetDone(AuthNTLMState, ProxyAuthNTLMState, ntlmDone, ntlmNone);
  ForgetDone(AuthBasicState, ProxyAuthBasicState, basicDone, basicNone);
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
