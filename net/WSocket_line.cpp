// Line mode of the socket component, and the synchronous waits built on it.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "net/WSocket.h"
#include "platform/vcl/Application.h"
#include "platform/win/Messages.h"

using namespace winsock;

// ---- Line mode: properties and sending ------------------------------------------------

void TCustomLineWSocket::SetLineMode(bool value) {
  if (value == LineMode) return;
  LineMode = value;
  LineLength = 0;
  LineRescan = true;
  if (RcvdCnt > 0 && WindowHandle != 0)
    PostMessage(WindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

void TCustomLineWSocket::SetLineEnd(const AnsiString& value) {
  if (value == LineEnd) return;
  LineEnd = value;
  LineRescan = true;
}

Integer TCustomLineWSocket::SendLine(const AnsiString& s) {
  if (s.empty()) return 0;
  // One Send, so that nothing is left queued when the socket is not connected and an
  // empty LineEnd still sends the line.
  const AnsiString line = s + LineEnd;
  return Send(line.data(), static_cast<Integer>(line.size()));
}

void TCustomLineWSocket::TriggerLineLimitExceeded(Integer cnt, bool& clearData) {
  if (OnLineLimitExceeded) OnLineLimitExceeded(this, cnt, clearData);
}

// ---- The held bytes -------------------------------------------------------------------

void TCustomLineWSocket::ConsumeHeld(Integer count) noexcept {
  count = std::min(count, RcvdCnt);
  RcvdPos += count;
  RcvdCnt -= count;
  if (RcvdCnt == 0) RcvdPos = 0;
}

void TCustomLineWSocket::ClearLineBuffer() noexcept {
  std::vector<Byte>().swap(RcvdBuf);
  RcvdPos = 0;
  RcvdCnt = 0;
  LineLength = 0;
}

Integer TCustomLineWSocket::FindLineEnd(Integer from) const noexcept {
  const auto endLen = static_cast<Integer>(LineEnd.size());
  if (endLen == 0 || RcvdCnt < endLen) return -1;
  const Byte* held = RcvdBuf.data() + RcvdPos;
  const Byte* last = held + (RcvdCnt - endLen);  // the last place the line end fits
  const Byte first = static_cast<Byte>(LineEnd[0]);
  for (const Byte* p = held + std::max(from, 0); p <= last; ++p) {
    p = static_cast<const Byte*>(std::memchr(p, first, static_cast<size_t>(last - p) + 1));
    if (p == nullptr) return -1;
    if (std::memcmp(p, LineEnd.data(), static_cast<size_t>(endLen)) == 0)
      return static_cast<Integer>(p - held);
  }
  return -1;
}

Integer TCustomLineWSocket::GetRcvdCount() {
  if (LineMode) return LineLength;
  if (RcvdCnt > 0) return RcvdCnt;
  return TCustomSocksWSocket::GetRcvdCount();
}

Integer TCustomLineWSocket::DoRecv(void* buffer, Integer bufferSize, Integer flags) {
  const bool fromLine = LineMode && LineLength > 0;
  if (LineMode && !fromLine && !LineEnd.empty() && SocksState == socksData &&
      (flags & MSG_PEEK) == 0) {
    // Between lines everything goes through the held bytes: a handler that reads on
    // must not take bytes of the next line from the socket ahead of their start.
    WSocket_WSASetLastError(WSAEWOULDBLOCK);
    return -1;
  }
  if (!fromLine && (LineMode || RcvdCnt == 0))
    return TCustomSocksWSocket::DoRecv(buffer, bufferSize, flags);
  if (buffer == nullptr || bufferSize <= 0) return 0;
  const Integer count = std::min(bufferSize, fromLine ? LineLength : RcvdCnt);
  std::memcpy(buffer, HeldBytes(), static_cast<size_t>(count));
  if ((flags & MSG_PEEK) != 0) return count;
  // The rest of a partly read line stays first.
  ConsumeHeld(count);
  if (fromLine) LineLength -= count;
  return count;
}

// ---- Receiving in line mode ----------------------------------------------------------------

bool TCustomLineWSocket::TriggerDataAvailable(Word errCode) {
  if (!LineMode || LineEnd.empty() || SocksState != socksData)
    return TCustomSocksWSocket::TriggerDataAvailable(errCode);

  Integer wanted = TCustomSocksWSocket::GetRcvdCount();
  if (wanted < 0) return true;
  if (wanted == 0) wanted = 255;

  // Room for the held bytes and the new ones, within LineBufferMax.
  if (RcvdCnt >= LineBufferMax) {
    bool clearData = true;
    TriggerLineLimitExceeded(RcvdCnt, clearData);
    ConsumeHeld(RcvdCnt);
    LineLength = 0;
    if (!LineMode) return true;
  }
  wanted = std::min(wanted, LineBufferMax - RcvdCnt);
  if (RcvdPos > 0) {
    std::memmove(RcvdBuf.data(), HeldBytes(), static_cast<size_t>(RcvdCnt));
    RcvdPos = 0;
  }
  const size_t needed = static_cast<size_t>(RcvdCnt) + static_cast<size_t>(wanted);
  if (RcvdBuf.size() < needed) RcvdBuf.resize(std::max(needed, RcvdBuf.size() * 2));

  Integer count = TCustomSocksWSocket::DoRecv(RcvdBuf.data() + RcvdCnt, wanted, 0);
  if (count < 0) {
    const int error = WSocket_WSAGetLastError();
    if (error != WSAEWOULDBLOCK) LastError = error;
    count = 0;
  }
  if (count == 0 && RcvdCnt == 0) return true;

  if (count > 0) {
    if (LineEdit) {
      EditLine(count);
    } else if (LineEcho) {
      LineEchoData.append(reinterpret_cast<const char*>(RcvdBuf.data() + RcvdCnt),
                          static_cast<size_t>(count));
    }
  }
  // A line end may begin among the old bytes (a CR LF split in two).
  const auto endLen = static_cast<Integer>(LineEnd.size());
  const Integer searchStart = (LineRescan || LineLength > 0) ? 0 : std::max(0, RcvdCnt - endLen);
  LineRescan = false;
  RcvdCnt += count;

  if (!LineEchoData.empty()) {
    AnsiString echo;
    echo.swap(LineEchoData);
    Send(echo.data(), static_cast<Integer>(echo.size()));
    if (SocketHandle == INVALID_SOCKET || RcvdCnt == 0) return true;  // closed meanwhile
  }
  OfferHeldBytes(searchStart);
  return true;
}

void TCustomLineWSocket::OfferHeldBytes(Integer searchStart) {
  // Passes in a row in which the handler took nothing; one is allowed when it
  // switched the mode instead.
  int idlePasses = 0;
  for (;;) {
    const bool lineMode = LineMode;
    const Integer before = RcvdCnt;
    if (lineMode) {
      if (LineEnd.empty()) return;
      const Integer at = FindLineEnd(searchStart);
      if (at < 0) {
        LineLength = 0;
        if (LineLimit > 0 && RcvdCnt > LineLimit) {
          bool clearData = true;
          TriggerLineLimitExceeded(RcvdCnt, clearData);
          if (clearData) ClearLineBuffer();
        }
        return;
      }
      LineLength = at + static_cast<Integer>(LineEnd.size());
      LineReceivedFlag = true;
      LineFound = true;
      if (!TCustomSocksWSocket::TriggerDataAvailable(0)) {
        // Nobody reads: the line is dropped.
        ConsumeHeld(LineLength);
        LineLength = 0;
        searchStart = 0;
        continue;
      }
    } else {
      LineLength = 0;
      if (RcvdCnt == 0) return;
      if (!TCustomSocksWSocket::TriggerDataAvailable(0)) {
        ConsumeHeld(RcvdCnt);
        return;
      }
    }
    searchStart = 0;
    if (RcvdCnt < before) {
      idlePasses = 0;
    } else if (LineMode == lineMode || ++idlePasses > 1) {
      // Left unread: it stays first and is offered again later.
      return;
    }
  }
}

void TCustomLineWSocket::EditLine(Integer& count) {
  const Byte* held = HeldBytes();
  const Byte* incoming = held + RcvdCnt;
  const bool editing =
      std::any_of(incoming, incoming + count, [](Byte b) { return b == 8 || b == 9; });
  if (!editing) {
    if (LineEcho)
      LineEchoData.append(reinterpret_cast<const char*>(incoming), static_cast<size_t>(count));
    return;
  }
  // The held bytes start the edited text; the new bytes are applied to it in order.
  std::vector<Byte> edited(held, incoming);
  const std::vector<Byte> original(held, incoming + count);
  for (Integer i = 0; i < count; ++i) {
    const Byte b = incoming[i];
    if (b == 8) {
      if (edited.empty()) continue;
      if (LineEcho) LineEchoData += "\b \b";
      edited.pop_back();
    } else if (b == 9) {
      const size_t spaces = 8 - edited.size() % 8;
      edited.insert(edited.end(), spaces, ' ');
      if (LineEcho) LineEchoData.append(spaces, ' ');
    } else {
      edited.push_back(b);
      if (LineEcho) LineEchoData += static_cast<char>(b);
    }
  }
  if (edited.size() > static_cast<size_t>(LineBufferMax))
    edited.resize(static_cast<size_t>(LineBufferMax));
  // The part that stayed as it was counts as held, so that the line-end search covers
  // every changed place.
  const auto common = static_cast<Integer>(
      std::mismatch(edited.begin(), edited.end(), original.begin(), original.end()).first -
      edited.begin());
  if (RcvdBuf.size() < static_cast<size_t>(RcvdPos) + edited.size())
    RcvdBuf.resize(static_cast<size_t>(RcvdPos) + edited.size());
  std::copy(edited.begin(), edited.end(), RcvdBuf.begin() + RcvdPos);
  RcvdCnt = common;
  count = static_cast<Integer>(edited.size()) - common;
}

void TCustomLineWSocket::TriggerSessionClosed(Word errCode) {
  LineReceivedFlag = true;
  if (LineMode && RcvdCnt > 0) {
    // What came after the last line end is the last line.
    LineLength = RcvdCnt;
    while (LineMode && LineLength > 0) {
      const Integer before = LineLength;
      if (!TCustomSocksWSocket::TriggerDataAvailable(0) || LineLength == before) break;
    }
  }
  ClearLineBuffer();
  TCustomSocksWSocket::TriggerSessionClosed(errCode);
}

void TCustomLineWSocket::WndProc(TMessage& msg) {
  if (msg.Msg != WM_TRIGGER_DATA_AVAILABLE) {
    TCustomSocksWSocket::WndProc(msg);
    return;
  }
  try {
    WMTriggerDataAvailable(msg);
  } catch (Exception& e) {
    HandleBackGroundException(e);
  }
}

void TCustomLineWSocket::WMTriggerDataAvailable(TMessage&) {
  int passes = 0;
  while (RcvdCnt > 0 && SocksState == socksData) {
    const Integer before = RcvdCnt;
    const bool lineMode = LineMode;
    LineFound = false;
    if (LineMode && !LineEnd.empty())
      TriggerDataAvailable(0);  // also takes what waits on the socket
    else
      OfferHeldBytes(0);
    if (RcvdCnt == 0) break;
    ++passes;
    if (LineMode && passes > 3 && !LineFound) break;
    // Bytes the handler left unread are offered again when more arrive.
    if (RcvdCnt >= before && LineMode == lineMode && (LineFound || !LineMode)) break;
  }
}

// ---- Synchronous waits -------------------------------------------------------------------

Integer TCustomSyncWSocket::WaitUntilReady(bool& done) {
  const DWORD start = GetTickCount();
  TimeStop = start + Timeout;
  for (;;) {
    if (done) return 0;
    const DWORD elapsed = GetTickCount() - start;
    if (Timeout > 0 && elapsed >= Timeout) return kWaitFailed;
    if (Application->GetTerminated() || Terminated) return kWaitFailed;
    MessagePump();
    if (done || Terminated || Application->GetTerminated()) continue;
    // Sleep until something arrives or the time is up, instead of spinning.
    DWORD left = INFINITE;
    if (Timeout > 0) {
      const DWORD now = GetTickCount() - start;
      left = now >= Timeout ? 0 : Timeout - now;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT);
  }
}

Integer TCustomSyncWSocket::Synchronize(const TWSocketSyncNextProc& proc, bool& done) {
  done = false;
  if (proc) proc();
  return WaitUntilReady(done);
}

void TCustomSyncWSocket::ReadLineDataAvailable() {
  if (LinePointer == nullptr) return;  // one line per call; the next stays pending
  const Integer count = GetRcvdCount();
  if (count <= 0) return;
  AnsiString line(static_cast<size_t>(count), '\0');
  const Integer received = Receive(line.data(), count);
  if (received <= 0) return;
  line.resize(static_cast<size_t>(received));
  *LinePointer = line;
  LinePointer = nullptr;
}

void TCustomSyncWSocket::ReadLine(Integer timeout, AnsiString& line) {
  line.clear();
  if (State != wsConnected) {
    RaiseException("ReadLine failed: not connected");
    return;
  }
  int64_t ms = timeout;
  if (ms == 0)
    ms = 60000;
  else if (ms < 0)
    ms = -ms;
  else
    ms *= 1000;
  Timeout = static_cast<DWORD>(std::min<int64_t>(ms, 0xFFFFFFFELL));

  LineReceivedFlag = false;
  LinePointer = &line;
  struct Restore {
    TCustomSyncWSocket& socket;
    TDataAvailable handler;
    bool lineMode;
    ~Restore() {
      socket.OnDataAvailable = std::move(handler);
      if (socket.LineMode != lineMode) {
        socket.LineMode = lineMode;
        socket.LineLength = 0;
        socket.LineRescan = true;
      }
      socket.LinePointer = nullptr;
    }
  } restore{*this, OnDataAvailable, LineMode};
  OnDataAvailable = [this](TObject*, Word) { ReadLineDataAvailable(); };
  if (!LineMode) {
    LineMode = true;
    LineLength = 0;
    LineRescan = true;
  }
  // A line that is already held is found by a pass over the held bytes.
  if (RcvdCnt > 0) PostMessage(WindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);

  if (Synchronize(nullptr, LineReceivedFlag) == kWaitFailed && LinePointer != nullptr &&
      RcvdCnt > 0) {
    line.assign(reinterpret_cast<const char*>(HeldBytes()), static_cast<size_t>(RcvdCnt));
    ConsumeHeld(RcvdCnt);
    LineLength = 0;
  }
}
