// The send queue and the receive loop.
#include <algorithm>
#include <cstring>
#include <deque>
#include <iterator>

#include "net/WSocket.h"
#include "platform/win/Messages.h"

using namespace winsock;

// ---- Sending ----------------------------------------------------------------------------

void TCustomWSocket::PutDataInSendBuffer(const void* data, Integer len) {
  if (len <= 0 || data == nullptr) return;
  const auto* bytes = static_cast<const Byte*>(data);
  if (BufList.empty()) BufList.push_back(std::make_unique<TBuffer>(BufSize));
  Integer written = BufList.back()->Write(bytes, len);
  while (written < len) {
    BufList.push_back(std::make_unique<TBuffer>(BufSize));
    written += BufList.back()->Write(bytes + written, len - written);
  }
}

void TCustomWSocket::PutStringInSendBuffer(const AnsiString& s) {
  PutDataInSendBuffer(s.data(), static_cast<Integer>(s.size()));
}

void TCustomWSocket::DeleteBufferedData() { BufList.clear(); }

Integer TCustomWSocket::Send(const void* data, Integer len) {
  if (State != wsConnected && State != wsSocksConnected) {
    WSocket_WSASetLastError(WSAENOTCONN);
    SocketError("Send");
    return -1;
  }
  QueueEmpty = false;
  if (len >= kDirectSendMin && data != nullptr && !InTryToSend && SocketType == SOCK_STREAM &&
      SocketHandle != INVALID_SOCKET && SendQueueDrained()) {
    SendStraight(static_cast<const Byte*>(data), len);
  } else {
    if (len > 0) PutDataInSendBuffer(data, len);
    TryToSend();
  }
  // OnDataSent always comes from the message loop, after Send has returned.
  if (QueueEmpty && SocketHandle != INVALID_SOCKET)
    PostMessage(WindowHandle, WM_ASYNCSELECT, SocketHandle, WSAMAKESELECTREPLY(FD_WRITE, 0));
  return len <= 0 ? 0 : len;
}

Integer TCustomWSocket::SendStr(const AnsiString& s) {
  if (s.empty()) return 0;
  return Send(s.data(), static_cast<Integer>(s.size()));
}

Integer TCustomWSocket::SendTo(const sockaddr_in& dest, Integer destLen, const void* data,
                               Integer len) {
  const Integer sent =
      WSocket_sendto(SocketHandle, static_cast<const char*>(data), len, SendFlagsValue,
                     reinterpret_cast<const sockaddr*>(&dest), destLen);
  if (sent > 0) TriggerSendData(sent);
  if (QueueEmpty && SocketType == SOCK_DGRAM)
    PostMessage(WindowHandle, WM_ASYNCSELECT, SocketHandle, WSAMAKESELECTREPLY(FD_WRITE, 0));
  return sent;
}

Integer TCustomWSocket::RealSend(const void* data, Integer len) {
  Integer sent;
  if (SocketType == SOCK_DGRAM)
    sent = WSocket_sendto(SocketHandle, static_cast<const char*>(data), len, SendFlagsValue,
                          reinterpret_cast<const sockaddr*>(&Sin), sizeof Sin);
  else
    sent = WSocket_send(SocketHandle, static_cast<const char*>(data), len, SendFlagsValue);
  if (sent > 0) TriggerSendData(sent);
  return sent;
}

bool TCustomWSocket::SendQueueDrained() const {
  for (const auto& block : BufList)
    if (block->DataCount() > 0) return false;
  return true;
}

void TCustomWSocket::SendStraight(const Byte* data, Integer len) {
  // A Send from an OnSendData handler only queues meanwhile.
  InTryToSend = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{InTryToSend};

  const SOCKET socket = SocketHandle;
  Integer done = 0;
  while (done < len) {
    const Integer sent = RealSend(data + done, len - done);
    if (sent > 0) {
      done += sent;
      // A handler of OnSendData may have closed the socket or queued bytes of its
      // own, which must follow ours.
      if (SocketHandle != socket) return;
      if (!SendQueueDrained()) break;
      continue;
    }
    if (sent == 0) break;
    const int error = WSocket_WSAGetLastError();
    if (error == WSAEWOULDBLOCK) break;
    if (error == WSAECONNRESET || error == WSAENOTSOCK || error == WSAENOTCONN ||
        error == WSAEINVAL || error == WSAECONNABORTED) {
      ClosedReported = true;
      Close();
      TriggerSessionClosed(static_cast<Word>(error));
      return;
    }
    SocketError("TryToSend failed");
    return;
  }
  if (done == len) {
    QueueEmpty = SendQueueDrained();
    if (!QueueEmpty) TryToSend();
    return;
  }
  // The rest waits in large blocks, ahead of whatever a handler queued.
  std::deque<std::unique_ptr<TBuffer>> rest;
  while (done < len) {
    const Integer size = std::min(len - done, kLargeSendBlockSize);
    rest.push_back(std::make_unique<TBuffer>(size));
    done += rest.back()->Write(data + done, size);
  }
  std::erase_if(BufList, [](const auto& block) { return block->DataCount() == 0; });
  BufList.insert(BufList.begin(), std::make_move_iterator(rest.begin()), std::make_move_iterator(rest.end()));
  // A send refused with WSAEWOULDBLOCK brings FD_WRITE, which goes on with the queue;
  // after a short send, one more try finds out.
  InTryToSend = false;
  TryToSend();
}

void TCustomWSocket::TryToSend() {
  if (SocketHandle == INVALID_SOCKET) return;
  if (BufList.empty()) {
    QueueEmpty = true;
    return;
  }
  // A Send from an OnSendData handler only queues: this loop sends it.
  if (InTryToSend) return;
  InTryToSend = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{InTryToSend};

  const SOCKET socket = SocketHandle;
  for (;;) {
    TBuffer* block = BufList.front().get();
    Integer len = 0;
    const Byte* data = block->Peek(len);
    if (len <= 0) {
      if (BufList.size() > 1) {
        BufList.pop_front();
        continue;
      }
      QueueEmpty = true;
      return;
    }
    const Integer sent = RealSend(data, len);
    if (sent > 0) {
      // The bytes went out; a handler of OnSendData may have closed the socket or
      // dropped the queue meanwhile.
      if (SocketHandle != socket || BufList.empty() || BufList.front().get() != block) return;
      block->Remove(sent);
      // After a partial send, try again: only a send refused with WSAEWOULDBLOCK
      // brings the next FD_WRITE.
      continue;
    }
    if (sent == 0) return;
    const int error = WSocket_WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return;
    if (error == WSAECONNRESET || error == WSAENOTSOCK || error == WSAENOTCONN ||
        error == WSAEINVAL || error == WSAECONNABORTED) {
      ClosedReported = true;
      Close();
      TriggerSessionClosed(static_cast<Word>(error));
      return;
    }
    SocketError("TryToSend failed");
    return;
  }
}

// ---- Receiving ----------------------------------------------------------------------------

void TCustomWSocket::ASyncReceive(Word error, TWSocketOptions mySocketOptions) {
  try {
    for (;;) {
      LastError = 0;
      ReceiveDrained = false;
      if (!TriggerDataAvailable(error)) {
        // Nobody reads: what arrived is dropped.
        char junk[1024];
        if (DoRecv(junk, sizeof junk, 0) < 0) {
          LastError = WSocket_WSAGetLastError();
          if (LastError == WSAEWOULDBLOCK) {
            LastError = 0;
            break;
          }
        }
      }
      if (mySocketOptions.Contains(wsoNoReceiveLoop)) break;
      if (LastError != 0) {
        if (LastError == -1) LastError = 0;
        break;
      }
      // A receive that got less than it asked for emptied the socket; later data
      // bring a new notification.
      if (ReceiveDrained) break;
      winsock::u_long waiting = 0;
      if (WSocket_ioctlsocket(SocketHandle, FIONREAD, &waiting) == SOCKET_ERROR) {
        LastError = WSocket_WSAGetLastError();
        break;
      }
      if (waiting == 0) break;
    }
  } catch (...) {
    // A failing handler ends this round of receiving; nothing reaches the message loop.
  }
}

Integer TCustomWSocket::DoRecv(void* buffer, Integer bufferSize, Integer flags) {
  const Integer received = WSocket_recv(SocketHandle, static_cast<char*>(buffer), bufferSize, flags);
  ReceiveDrained = flags == 0 && received > 0 && received < bufferSize && SocketType == SOCK_STREAM;
  return received;
}

Integer TCustomWSocket::DoRecvFrom(void* buffer, Integer bufferSize, Integer flags,
                                   sockaddr_in& from, Integer& fromLen) {
  return WSocket_recvfrom(SocketHandle, static_cast<char*>(buffer), bufferSize, flags,
                          reinterpret_cast<sockaddr*>(&from), &fromLen);
}

Integer TCustomWSocket::Receive(void* buffer, Integer len) {
  const Integer received = DoRecv(buffer, len, 0);
  if (received < 0)
    LastError = WSocket_WSAGetLastError();
  else
    ReadCount += received;
  return received;
}

AnsiString TCustomWSocket::ReceiveStr() {
  Integer count = GetRcvdCount();
  if (count < 0) return {};
  if (count == 0) count = 255;
  AnsiString s(static_cast<size_t>(count), '\0');
  const Integer received = Receive(s.data(), count);
  if (received <= 0) return {};
  s.resize(static_cast<size_t>(received));
  return s;
}

Integer TCustomWSocket::ReceiveFrom(void* buffer, Integer len, sockaddr_in& from, Integer& fromLen) {
  const Integer received = DoRecvFrom(buffer, len, 0, from, fromLen);
  if (received < 0)
    LastError = WSocket_WSAGetLastError();
  else
    ReadCount += received;
  return received;
}

Integer TCustomWSocket::PeekData(void* buffer, Integer len) { return DoRecv(buffer, len, MSG_PEEK); }

Integer TCustomWSocket::GetRcvdCount() {
  if (GetComponentState().Contains(csDesigning)) return -1;
  winsock::u_long waiting = 0;
  if (WSocket_ioctlsocket(SocketHandle, FIONREAD, &waiting) == SOCKET_ERROR) return -1;
  return static_cast<Integer>(waiting);
}
