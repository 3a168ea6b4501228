// NTLM negotiate, challenge and authenticate messages. All integers in the messages
// are little-endian; a security buffer is a 16-bit length, the same length again and
// a 32-bit offset from the start of the message.
#include "net/NtlmMsgs.h"

#include <cstring>
#include <initializer_list>

#include "net/MimeUtil.h"
#include "net/NetDES.h"
#include "net/NetMD4.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Strings.h"

namespace {

constexpr char kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', '\0'};
constexpr Integer kMessage1HeaderSize = 32;
constexpr Cardinal kMessage1Flags = 0x8207;  // Unicode, OEM, request target, NTLM, always sign
constexpr Cardinal kMessage1DomainSupplied = 0x1000;
constexpr Cardinal kMessage1HostSupplied = 0x2000;
constexpr size_t kMaxBufferBytes = 0xFFFF;    // what a 16-bit length can describe
constexpr Byte LMConstant[8] = {'K', 'G', 'S', '!', '@', '#', '$', '%'};
constexpr size_t kResponseSize = 24;

void PutLE16(AnsiString& m, size_t at, Cardinal v) {
  m[at] = static_cast<char>(v);
  m[at + 1] = static_cast<char>(v >> 8);
}

void PutLE32(AnsiString& m, size_t at, Cardinal v) {
  PutLE16(m, at, v & 0xFFFF);
  PutLE16(m, at + 2, v >> 16);
}

void PutSecurityBuffer(AnsiString& m, size_t at, size_t length, size_t offset) {
  PutLE16(m, at, static_cast<Cardinal>(length));
  PutLE16(m, at + 2, static_cast<Cardinal>(length));
  PutLE32(m, at + 4, static_cast<Cardinal>(offset));
}

TNTLM_SecurityBuffer SecurityBuffer(size_t length, size_t offset) {
  TNTLM_SecurityBuffer b;
  b.Length = b.MaxLength = static_cast<Word>(length);
  b.Offset = static_cast<Cardinal>(offset);
  return b;
}

AnsiString Serialize(const TNTLM_Message3& h) {
  AnsiString m(sizeof(TNTLM_Message3), '\0');
  std::memcpy(m.data(), h.Protocol, sizeof(h.Protocol));
  PutLE32(m, 8, h.MsgType);
  size_t at = 12;
  for (const TNTLM_SecurityBuffer* b : {&h.LM, &h.NT, &h.Domain, &h.User, &h.Host, &h.SessionKey}) {
    PutLE16(m, at, b->Length);
    PutLE16(m, at + 2, b->MaxLength);
    PutLE32(m, at + 4, b->Offset);
    at += 8;
  }
  PutLE32(m, at, h.Flags);
  return m;
}

// Reads from a message received from outside: bytes past its end count as 0.
class MessageReader {
 public:
  explicit MessageReader(const AnsiString& m) : m_(m) {}
  size_t Size() const { return m_.size(); }
  Byte At(size_t i) const { return i < m_.size() ? static_cast<Byte>(m_[i]) : 0; }
  Cardinal LE16(size_t i) const { return At(i) | (Cardinal(At(i + 1)) << 8); }
  Cardinal LE32(size_t i) const { return LE16(i) | (LE16(i + 2) << 16); }
  // length bytes from offset, cut at the end of the message.
  AnsiString Bytes(size_t offset, size_t length) const {
    if (offset >= m_.size()) return {};
    return m_.substr(offset, length);
  }

 private:
  const AnsiString& m_;
};

// Each byte followed by a zero byte (UTF-16LE for ASCII text).
AnsiString Widen(const AnsiString& s) {
  AnsiString out(s.size() * 2, '\0');
  for (size_t i = 0; i < s.size(); ++i) out[2 * i] = s[i];
  return out;
}

// Spreads 7 key bytes over the 8 bytes of a DES key, leaving each parity bit 0.
void ExpandKey(const Byte* k, Byte* key) {
  key[0] = k[0];
  for (int i = 1; i < 7; ++i) key[i] = static_cast<Byte>((k[i - 1] << (8 - i)) | (k[i] >> i));
  key[7] = static_cast<Byte>(k[6] << 1);
}

// DES encryption of the 8 data bytes under the key expanded from 7 bytes.
void DES7(const Byte* k7, const Byte* data, Byte* out) {
  Byte key[8];
  ExpandKey(k7, key);
  DES(data, out, key, true);
  std::memset(key, 0, sizeof(key));
}

// Three DES7 blocks of the challenge under the 21-byte key.
AnsiString Response(const Byte* k21, const Byte* challenge) {
  AnsiString r(kResponseSize, '\0');
  for (int i = 0; i < 3; ++i) DES7(k21 + 7 * i, challenge, reinterpret_cast<Byte*>(&r[8 * i]));
  return r;
}

AnsiString LMResponse(const AnsiString& password, const Byte* challenge) {
  Byte p[14] = {};
  const AnsiString upper = UpperCase(password);
  std::memcpy(p, upper.data(), upper.size() < 14 ? upper.size() : 14);
  Byte k[21] = {};
  DES7(p, LMConstant, k);
  DES7(p + 7, LMConstant, k + 8);
  AnsiString r = Response(k, challenge);
  std::memset(p, 0, sizeof(p));
  std::memset(k, 0, sizeof(k));
  return r;
}

AnsiString NTResponse(const AnsiString& password, const Byte* challenge) {
  Byte k[21] = {};
  const AnsiString hash = MD4String(Widen(password));
  std::memcpy(k, hash.data(), hash.size());
  AnsiString r = Response(k, challenge);
  std::memset(k, 0, sizeof(k));
  return r;
}

}  // namespace

AnsiString NtlmGetMessage1(const AnsiString& host, const AnsiString& domain) {
  const AnsiString h = UpperCase(host.substr(0, kMaxBufferBytes));
  const AnsiString d = UpperCase(domain.substr(0, kMaxBufferBytes));
  AnsiString m(kMessage1HeaderSize, '\0');
  std::memcpy(m.data(), kSignature, sizeof(kSignature));
  PutLE32(m, 8, 1);
  Cardinal flags = kMessage1Flags;
  if (!h.empty()) flags |= kMessage1HostSupplied;
  if (!d.empty()) flags |= kMessage1DomainSupplied;
  PutLE32(m, 12, flags);
  PutSecurityBuffer(m, 16, d.size(), d.empty() ? 0 : kMessage1HeaderSize + h.size());
  PutSecurityBuffer(m, 24, h.size(), h.empty() ? 0 : kMessage1HeaderSize);
  m += h;
  m += d;
  return Base64Encode(m);
}

TNTLM_Msg2_Info NtlmGetMessage2(const AnsiString& base64) {
  TNTLM_Msg2_Info info;
  if (base64.empty()) return info;
  info.ServerOk = true;

  const AnsiString message = Base64Decode(base64);
  const MessageReader r(message);
  info.TargetName = AnsiToWide(r.Bytes(r.LE32(16), r.LE16(12)));
  for (size_t i = 0; i < info.Challenge.size(); ++i) info.Challenge[i] = r.At(24 + i);

  // Target information: entries of a 16-bit type, a 16-bit length and that many
  // bytes, up to an entry of type 0 and length 0. An entry that would pass the end
  // of the message ends the walk unread.
  size_t pos = r.LE32(44);
  while (pos + 4 <= r.Size()) {
    const Cardinal type = r.LE16(pos);
    const size_t length = r.LE16(pos + 2);
    if (type == 0 && length == 0) break;
    if (length > r.Size() - pos - 4) break;
    if (type == 1) info.ServerName = AnsiToWide(r.Bytes(pos + 4, length));
    if (type == 2) info.DomainName = AnsiToWide(r.Bytes(pos + 4, length));
    pos += 4 + length;
  }
  return info;
}

AnsiString NtlmGetMessage3(const AnsiString& domain, const AnsiString& host, const AnsiString& user,
                           const AnsiString& password, const Byte* challenge) {
  constexpr size_t kMaxChars = kMaxBufferBytes / 2;
  const AnsiString d = Widen(domain.substr(0, kMaxChars));
  const AnsiString u = Widen(user.substr(0, kMaxChars));
  const AnsiString h = Widen(host.substr(0, kMaxChars));

  TNTLM_Message3 header;
  const size_t dataAt = sizeof(TNTLM_Message3);
  header.Domain = SecurityBuffer(d.size(), dataAt);
  header.User = SecurityBuffer(u.size(), dataAt + d.size());
  header.Host = SecurityBuffer(h.size(), dataAt + d.size() + u.size());
  header.LM = SecurityBuffer(kResponseSize, dataAt + d.size() + u.size() + h.size());
  header.NT = SecurityBuffer(kResponseSize, header.LM.Offset + kResponseSize);

  AnsiString m = Serialize(header);
  m += d;
  m += u;
  m += h;
  m += LMResponse(password, challenge);
  m += NTResponse(password, challenge);
  return Base64Encode(m);
}
