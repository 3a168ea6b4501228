// THttpCli: the delivery of body bytes, plain or chunked, and the end of a document.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "net/HttpProt.h"
#include "net/NetUrl.h"
#include "platform/rtl/Strings.h"

bool THttpCli::IsChunked() const { return SameText(Trim(TransferCoding), "chunked"); }

bool THttpCli::DeliverBody(const char* data, Integer len, WPARAM serial) {
  if (len <= 0) return true;
  // RcvdCount counts a document of at most 2 GB - 1; a longer one is cut.
  if (RcvdCount > INT32_MAX - len) {
    DropConnection(winsock::WSAECONNABORTED);
    return false;
  }
  RcvdCount += len;
  if (RcvdStream != nullptr && RcvdStream->Write(data, len) != len) {
    // The document cannot be stored (a full disk): the request ends in an error
    // rather than with a short document reported whole.
    DropConnection(winsock::WSAECONNABORTED);
    return false;
  }
  TriggerDocData(data, len);
  return Current(serial);
}

void THttpCli::EndDocument(WPARAM serial) {
  BodyLineCount = 0;
  NextLineHandler = TNextLineHandler::Idle;
  StateChange(httpBodyReceived);
  if (!Current(serial)) return;
  TriggerDocEnd();
  if (!Current(serial)) return;
  // An open connection goes ready, or relocates, through the caller.
  if (CloseAfterResponse) WSocket->CloseDelayed();
}

void THttpCli::GetBodyLineNext() {
  const WPARAM serial = RequestSerial;
  if (BodyLineCount == 0) {
    ChunkState = httpChunkGetSize;
    ChunkLength = 0;
    ChunkRcvd = 0;
    TriggerDocBegin();
    if (!Current(serial)) return;
  }
  ++BodyLineCount;

  const char* p = BodyData;
  Integer left = BodyDataLen;
  if (!IsChunked()) {
    if (!DeliverBody(p, left, serial)) return;
    if (RcvdCount == ContentLength) EndDocument(serial);
    return;
  }

  while (left > 0 && ChunkState != httpChunkDone) {
    switch (ChunkState) {
      case httpChunkGetSize: {
        if (!IsXDigit(*p)) {
          ChunkState = httpChunkGetExt;
          break;
        }
        const Integer digit = XDigit(*p);
        if (ChunkLength > (kMaxChunkSize - digit) / 16) {
          // A size that no 32-bit count can hold.
          DropConnection(winsock::WSAECONNABORTED);
          return;
        }
        ChunkLength = ChunkLength * 16 + digit;
        ++p;
        --left;
        break;
      }
      case httpChunkGetExt:
      case httpChunkSkipDataEnd: {
        // Up to and including the LF.
        const void* lf = std::memchr(p, '\n', static_cast<size_t>(left));
        if (lf == nullptr) {
          left = 0;
          break;
        }
        const Integer skip = static_cast<Integer>(static_cast<const char*>(lf) - p) + 1;
        p += skip;
        left -= skip;
        if (ChunkState == httpChunkGetExt) {
          ChunkState = httpChunkGetData;
        } else {
          ChunkState = ChunkLength == 0 ? httpChunkDone : httpChunkGetSize;
          ChunkLength = 0;
          ChunkRcvd = 0;
        }
        break;
      }
      case httpChunkGetData: {
        const Integer count = std::min(left, ChunkLength - ChunkRcvd);
        const char* piece = p;
        p += count;
        left -= count;
        ChunkRcvd += count;
        if (ChunkRcvd == ChunkLength) ChunkState = httpChunkSkipDataEnd;
        if (!DeliverBody(piece, count, serial)) return;
        break;
      }
      case httpChunkDone:
        break;
    }
  }
  if (ChunkState == httpChunkDone) EndDocument(serial);
}
