// THttpCli: the request head in its fixed order and the sending of a POST or PUT body.
#include <algorithm>
#include <cstdint>

#include "net/HttpProt.h"
#include "platform/rtl/Strings.h"

void THttpCli::SendCommand(const AnsiString& cmd) {
  AnsiString line = cmd;
  if (OnCommand) OnCommand(this, line);
  if (!line.empty()) RequestHead += line;
  RequestHead += "\r\n";
}

void THttpCli::SendRequest(const AnsiString& method, const AnsiString& version) {
  const WPARAM serial = RequestSerial;
  RequestHead.clear();
  TriggerRequestHeaderBegin();
  if (!Current(serial)) return;

  const bool withBody = RequestKind == httpPOST || RequestKind == httpPUT;
  TStringList lines;
  auto addIf = [&lines](const char* name, const AnsiString& value) {
    if (!value.empty()) lines.Add(name + value);
  };
  lines.Add(method + " " + RequestUri + " HTTP/" + version);
  addIf("From: ", Sender);
  addIf("Accept: ", Accept);
  addIf("Referer: ", Reference);
  addIf("Connection: ", Connection);
  addIf("Proxy-Connection: ", ProxyConnection);
  addIf("Accept-Language: ", AcceptLanguage);
  if (withBody) addIf("Content-Type: ", ContentTypePost);
  addIf("User-Agent: ", Agent);
  // The target's own port, also when the connection goes to a proxy.
  lines.Add("Host: " + RequestHost + (RequestPort == "80" ? AnsiString() : ":" + RequestPort));
  if (NoCache) lines.Add("Pragma: no-cache");
  if (withBody)
    lines.Add("Content-Length: " +
              (SendingNTLMMessage1() ? AnsiString("0")
                                     : IntToStr(SendStream->GetSize() - SendStream->GetPosition())));
  if (ModifiedSince != 0) lines.Add("If-Modified-Since: " + RFC1123_Date(ModifiedSince) + " GMT");
  const AnsiString authorization = AuthorizationLine();
  if (!authorization.empty()) lines.Add(authorization);
  addIf("Cookie: ", Cookie);
  if (!ContentRangeBegin.empty() || !ContentRangeEnd.empty()) {
    lines.Add("Range: bytes=" + ContentRangeBegin + "-" + ContentRangeEnd);
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
  }
  AcceptRanges.clear();

  TriggerBeforeHeaderSend(method, &lines);
  if (!Current(serial)) return;
  for (Integer i = 0; i < lines.GetCount(); ++i) {
    SendCommand(lines.Strings(i));
    if (!Current(serial)) return;
  }
  TriggerRequestHeaderEnd();
  if (!Current(serial)) return;
  SendCommand("");
  if (!Current(serial)) return;
  WSocket->PutStringInSendBuffer(RequestHead);
  RequestHead.clear();
  WSocket->Send(nullptr, 0);
}

void THttpCli::SocketDataSent(TObject*, Word) {
  if (!BodySending) return;
  // Only one piece waits in the queue at a time; the next follows when it has drained.
  const Integer room = std::min<Integer>(kSendChunkSize, INT32_MAX - BodySentCount);
  const Integer count = room > 0 ? SendStream->Read(SendChunk, room) : 0;
  if (count <= 0) {
    BodySending = false;
    TriggerSendEnd();
    return;
  }
  const WPARAM serial = RequestSerial;
  BodySentCount += count;
  TriggerSendData(SendChunk, count);
  if (!Current(serial)) return;
  WSocket->Send(SendChunk, count);
}
