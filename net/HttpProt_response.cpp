// THttpCli: the receive buffer and its splitting into lines, the status line and the
// header fields, and the rule that decides whether a body follows.
#include <cstring>

#include "net/HttpProt.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"

namespace {

// Bytes read at a time while a line longer than the buffer is skipped.
constexpr Integer kLongLineProbe = 25;

bool StartsWithNoCase(const AnsiString& s, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return s.size() >= n && SameText(s.substr(0, n), prefix);
}

AnsiString SkipBlanks(const AnsiString& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

}  // namespace

Integer THttpCli::ReceiveRaw(void* buffer, Integer len) { return WSocket->Receive(buffer, len); }

void THttpCli::RemoveFromBuffer(Integer count) {
  if (count >= RcvdCnt) {
    RcvdCnt = 0;
  } else if (count > 0) {
    std::memmove(ReceiveBuffer, ReceiveBuffer + count, static_cast<size_t>(RcvdCnt - count));
    RcvdCnt -= count;
  }
  ReceiveBuffer[RcvdCnt] = '\0';
}

void THttpCli::SocketDataAvailable(TObject*, Word errCode) {
  // Body bytes with nothing held before them need no line splitting: they skip the
  // line buffer and are received in large blocks.
  if (State == httpWaitingBody && RcvdCnt == 0 && RequestKind != httpHEAD &&
      RequestKind != httpABORT && NextLineHandler == TNextLineHandler::Body && ReceiveBodyBlock())
    return;
  if (RcvdCnt < kReceiveBufferSize) {
    const Integer received = ReceiveRaw(ReceiveBuffer + RcvdCnt, kReceiveBufferSize - RcvdCnt);
    if (RequestKind == httpABORT || received <= 0) return;
    RcvdCnt += received;
  } else {
    // A line longer than the buffer: its bytes are dropped up to its LF, so the line
    // is kept cut short and ends at that LF.
    char probe[kLongLineProbe];
    const Integer received = ReceiveRaw(probe, kLongLineProbe);
    if (received <= 0) return;
    const void* lf = std::memchr(probe, '\n', static_cast<size_t>(received));
    // Only a full buffer takes the LF (one that already did waits to be read).
    if (lf == nullptr || RcvdCnt > kReceiveBufferSize) return;
    const Integer at = static_cast<Integer>(static_cast<const char*>(lf) - probe);
    const Integer after = received - at - 1;
    std::memcpy(ReceiveBuffer + RcvdCnt - after, probe + at, static_cast<size_t>(after + 1));
    RcvdCnt += 1;
    if (RequestKind == httpABORT) return;
  }
  ReceiveBuffer[RcvdCnt] = '\0';

  const WPARAM serial = RequestSerial;
  if (State != httpWaitingBody) {
    while (RcvdCnt > 0) {
      // The line end is searched within the data: a NUL byte does not hide it.
      const void* lf = std::memchr(ReceiveBuffer, '\n', static_cast<size_t>(RcvdCnt));
      if (lf == nullptr) break;
      const Integer length = static_cast<Integer>(static_cast<const char*>(lf) - ReceiveBuffer);
      const Integer textLength =
          length > 0 && ReceiveBuffer[length - 1] == '\r' ? length - 1 : length;
      LastResponseLine.assign(ReceiveBuffer, static_cast<size_t>(textLength));
      RemoveFromBuffer(length + 1);
      if (State == httpWaitingHeader || State == httpWaitingBody) {
        if (NextLineHandler == TNextLineHandler::Header)
          GetHeaderLineNext();
        else
          SetReady();
      } else {
        TriggerDataPush(errCode);
      }
      if (!Current(serial)) return;
      // The header has ended: what follows are body bytes, not lines.
      if (State == httpWaitingBody) break;
    }
  }

  if (State != httpWaitingBody || RcvdCnt == 0) return;
  if (RequestKind == httpHEAD) {
    // A HEAD response has no body: what came is dropped with the connection.
    RemoveFromBuffer(RcvdCnt);
    WSocket->Abort();
    return;
  }
  if (NextLineHandler == TNextLineHandler::Body) DeliverBufferedBody(serial);
}

bool THttpCli::ReceiveBodyBlock() {
  Integer wanted = kBodyBlockSize;
  // Bytes past a document of known length are not taken: they stay with the socket
  // and are read as lines, as bytes after a document are.
  if (ContentLength >= 0 && !IsChunked()) {
    const Int64 left = static_cast<Int64>(ContentLength) - RcvdCount;
    if (left <= 0) return false;
    if (left < wanted) wanted = static_cast<Integer>(left);
  }
  if (!BodyBlock) BodyBlock = std::make_unique<char[]>(static_cast<size_t>(kBodyBlockSize));
  const Integer received = ReceiveRaw(BodyBlock.get(), wanted);
  if (received <= 0) return true;
  const WPARAM serial = RequestSerial;
  BodyData = BodyBlock.get();
  BodyDataLen = received;
  try {
    GetBodyLineNext();
  } catch (...) {
    BodyDataLen = 0;
    throw;
  }
  BodyDataLen = 0;
  if (!Current(serial) || NextLineHandler != TNextLineHandler::Idle) return true;
  if (RelocationPending)
    StartRelocation();
  else
    SetReady();
  return true;
}

bool THttpCli::DeliverBufferedBody(WPARAM serial) {
  Integer len = RcvdCnt;
  // A length in the header limits the document; with chunks the framing does.
  if (ContentLength >= 0 && !IsChunked() &&
      static_cast<Int64>(ContentLength) < static_cast<Int64>(RcvdCount) + len)
    len = ContentLength - RcvdCount;
  BodyData = ReceiveBuffer;
  BodyDataLen = len;
  try {
    GetBodyLineNext();
  } catch (...) {
    // An event that failed does not get the same bytes again.
    if (Current(serial)) RemoveFromBuffer(len);
    BodyDataLen = 0;
    throw;
  }
  BodyDataLen = 0;
  if (!Current(serial)) return false;
  RemoveFromBuffer(len);
  if (NextLineHandler != TNextLineHandler::Idle) return true;
  if (RelocationPending)
    StartRelocation();
  else
    SetReady();
  return Current(serial);
}

void THttpCli::GetHeaderLineNext() {
  const WPARAM serial = RequestSerial;
  if (HeaderLineCount == 0) {
    TriggerHeaderBegin();
    if (!Current(serial)) return;
  } else if (HeaderLineCount == -1) {
    HeaderLineCount = 0;
  }
  ++HeaderLineCount;

  const AnsiString& line = LastResponseLine;
  if (HeaderLineCount == 1 && StartsWithNoCase(line, "<HTML>")) {
    // No header at all: the document starts here and ends with the connection.
    if (ContentType.empty()) ContentType = "text/html";
    StateChange(httpWaitingBody);
    if (!Current(serial)) return;
    NextLineHandler = TNextLineHandler::Body;
    TriggerHeaderEnd();
    if (!Current(serial)) return;
    const AnsiString first = line;
    BodyData = first.data();
    BodyDataLen = static_cast<Integer>(first.size());
    GetBodyLineNext();
    BodyDataLen = 0;
    return;
  }

  if (line.empty()) {
    HeaderEnded(serial);
    return;
  }

  // Checked before counting, so the count never passes its bound.
  const Int64 lineSize = static_cast<Int64>(line.size());
  if (lineSize > static_cast<Int64>(kMaxHeaderSize) - HeaderSize) {
    DropConnection(winsock::WSAECONNABORTED);
    return;
  }
  HeaderSize += static_cast<Integer>(lineSize);
  ResponseHeaderLines->Add(line);
  if (HeaderLineCount == 1) {
    if (line.compare(0, 8, "HTTP/1.0") != 0 && line.compare(0, 8, "HTTP/1.1") != 0) {
      // Not a status line: it is only stored.
      TriggerDataPush2();
      if (!Current(serial)) return;
    } else {
      ResponseVersion = Copy(line, 6, 3);
      Integer status = 0;
      // A code that is not a number leaves the rest of the line unread; the lines
      // after it are read at once.
      if (!TryStrToInt(Copy(line, 10, 3), status)) return;
      StatusCode = status;
      ReasonPhrase = Copy(line, 14, Length(line));
    }
  } else {
    const Integer colon = Pos(":", line);
    if (colon > 0) {
      const AnsiString name = LowerCase(Copy(line, 1, colon - 1));
      const AnsiString value = SkipBlanks(Copy(line, colon + 1, Length(line)));
      if (name == "location") {
        HandleLocation(value);
      } else if (name == "content-length") {
        Integer length = -1;
        // What is not a length (a negative number included) counts as none.
        if (!TryStrToInt(Trim(value), length) || length < 0) length = -1;
        ContentLength = length;
      } else if (name == "transfer-encoding") {
        TransferCoding = value;
      } else if (name == "content-range") {
        const Integer dash = Pos("-", value);
        const Integer slash = Pos("/", value);
        ContentRangeBegin = Copy(value, 7, dash - 7);
        ContentRangeEnd = Copy(value, dash + 1, slash - dash - 1);
      } else if (name == "accept-ranges") {
        AcceptRanges = value;
      } else if (name == "content-type") {
        ContentType = LowerCase(value);
      } else if (name == "www-authenticate" || name == "proxy-authenticate") {
        AuthChallenges->Add(value);
      } else if (name == "set-cookie") {
        bool accept = true;
        TriggerCookie(value, accept);
        if (!Current(serial)) return;
      } else if (name == "connection" || name == "proxy-connection") {
        const AnsiString mode = LowerCase(Trim(value));
        if (mode == "close")
          CloseAfterResponse = true;
        else if (mode == "keep-alive")
          CloseAfterResponse = false;
      }
    }
  }
  if (OnHeaderData) OnHeaderData(this);
}

void THttpCli::HeaderEnded(WPARAM serial) {
  if (ResponseVersion == "1.1" && StatusCode == 100) {
    // An interim response: the final one's header follows.
    ResponseHeaderLines->Clear();
    HeaderSize = 0;
    HeaderLineCount = -1;
    return;
  }
  TriggerHeaderEnd();
  if (!Current(serial)) return;
  if (State == httpReady) {
    RemoveFromBuffer(RcvdCnt);
    return;
  }
  if (TooManyRelocations) {
    // The request ends as failed instead of relocating once more.
    StatusCode = 404;
    ReasonPhrase = "Too many relocations";
    DropConnection(httperrTooManyRelocations);
    return;
  }

  const bool chunked = IsChunked();
  const bool statusHasBody =
      StatusCode >= 200 && StatusCode != 204 && StatusCode != 301 && StatusCode != 302 &&
      StatusCode != 304;
  const bool bodyFollows = RequestKind != httpHEAD &&
                           (chunked || (ContentLength != 0 && (ContentLength != -1 || statusHasBody)));
  if (bodyFollows) {
    const AnsiString ext = LowerCase(ExtractFileExt(DocName));
    if ((ext == ".exe" || ext.empty()) && ContentType == "text/html") ReplaceExt(DocName, "htm");
    StateChange(httpWaitingBody);
    if (!Current(serial)) return;
    NextLineHandler = TNextLineHandler::Body;
    if (RcvdCnt > 0) DeliverBufferedBody(serial);
    return;
  }

  if (RelocationPending) {
    StartRelocation();
    return;
  }
  if (!CloseAfterResponse) {
    SetReady();
    return;
  }
  if (RequestKind == httpHEAD) {
    RemoveFromBuffer(RcvdCnt);
    StateChange(httpWaitingBody);
    if (!Current(serial)) return;
    NextLineHandler = TNextLineHandler::Idle;
  }
  // The request ends when the close arrives.
  WSocket->CloseDelayed();
}
