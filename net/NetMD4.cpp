// MD4 (RFC 1320): 64-byte blocks, three rounds of sixteen steps on four 32-bit words.
#include "net/NetMD4.h"

#include <cstring>

namespace {

constexpr Cardinal Rol(Cardinal x, int n) { return (x << n) | (x >> (32 - n)); }
constexpr Cardinal F(Cardinal x, Cardinal y, Cardinal z) { return (x & y) | (~x & z); }
constexpr Cardinal G(Cardinal x, Cardinal y, Cardinal z) { return (x & y) | (x & z) | (y & z); }
constexpr Cardinal H(Cardinal x, Cardinal y, Cardinal z) { return x ^ y ^ z; }

constexpr Cardinal kRound2Constant = 0x5A827999;
constexpr Cardinal kRound3Constant = 0x6ED9EBA1;

Cardinal LoadLE32(const Byte* p) {
  return Cardinal(p[0]) | (Cardinal(p[1]) << 8) | (Cardinal(p[2]) << 16) | (Cardinal(p[3]) << 24);
}

void StoreLE32(Byte* p, Cardinal v) {
  p[0] = Byte(v);
  p[1] = Byte(v >> 8);
  p[2] = Byte(v >> 16);
  p[3] = Byte(v >> 24);
}

void Compress(TMD4Context& ctx, const Byte* block) {
  Cardinal x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLE32(block + 4 * i);
  Cardinal a = ctx.A, b = ctx.B, c = ctx.C, d = ctx.D;

  // Round 1: [abcd k s] a = (a + F(b,c,d) + X[k]) <<< s
  static constexpr int kR1Shift[4] = {3, 7, 11, 19};
  for (int i = 0; i < 16; i += 4) {
    a = Rol(a + F(b, c, d) + x[i], kR1Shift[0]);
    d = Rol(d + F(a, b, c) + x[i + 1], kR1Shift[1]);
    c = Rol(c + F(d, a, b) + x[i + 2], kR1Shift[2]);
    b = Rol(b + F(c, d, a) + x[i + 3], kR1Shift[3]);
  }
  // Round 2: [abcd k s] a = (a + G(b,c,d) + X[k] + 5A827999) <<< s, k by columns
  static constexpr int kR2Shift[4] = {3, 5, 9, 13};
  for (int i = 0; i < 4; ++i) {
    a = Rol(a + G(b, c, d) + x[i] + kRound2Constant, kR2Shift[0]);
    d = Rol(d + G(a, b, c) + x[i + 4] + kRound2Constant, kR2Shift[1]);
    c = Rol(c + G(d, a, b) + x[i + 8] + kRound2Constant, kR2Shift[2]);
    b = Rol(b + G(c, d, a) + x[i + 12] + kRound2Constant, kR2Shift[3]);
  }
  // Round 3: [abcd k s] a = (a + H(b,c,d) + X[k] + 6ED9EBA1) <<< s, k in bit-reversed order
  static constexpr int kR3Order[4] = {0, 2, 1, 3};
  static constexpr int kR3Shift[4] = {3, 9, 11, 15};
  for (int k : kR3Order) {
    a = Rol(a + H(b, c, d) + x[k] + kRound3Constant, kR3Shift[0]);
    d = Rol(d + H(a, b, c) + x[k + 8] + kRound3Constant, kR3Shift[1]);
    c = Rol(c + H(d, a, b) + x[k + 4] + kRound3Constant, kR3Shift[2]);
    b = Rol(b + H(c, d, a) + x[k + 12] + kRound3Constant, kR3Shift[3]);
  }

  ctx.A += a;
  ctx.B += b;
  ctx.C += c;
  ctx.D += d;
  std::memset(x, 0, sizeof(x));
}

void RequireInitialized(const TMD4Context& context) {
  if (!context.Initialized) throw MD4Exception("MD4 not initialized");
}

}  // namespace

void MD4Burn(TMD4Context& context) {
  // volatile so the wipe of key material is not optimised away
  volatile Byte* p = reinterpret_cast<volatile Byte*>(&context);
  for (size_t i = 0; i < sizeof(context); ++i) p[i] = 0;
}

void MD4Init(TMD4Context& context) {
  MD4Burn(context);
  context.A = 0x67452301;
  context.B = 0xEFCDAB89;
  context.C = 0x98BADCFE;
  context.D = 0x10325476;
  context.Initialized = true;
}

void MD4Update(TMD4Context& context, const void* data, Cardinal count) {
  RequireInitialized(context);
  if (count == 0) return;

  const Cardinal bitsLo = count << 3;
  const Cardinal oldLo = context.BitCountLo;
  context.BitCountLo = oldLo + bitsLo;
  if (context.BitCountLo < oldLo) ++context.BitCountHi;
  context.BitCountHi += count >> 29;

  const Byte* p = static_cast<const Byte*>(data);
  while (count > 0) {
    const Cardinal room = 64 - context.BufferedBytes;
    const Cardinal take = count < room ? count : room;
    std::memcpy(context.Buffer + context.BufferedBytes, p, take);
    context.BufferedBytes += take;
    p += take;
    count -= take;
    if (context.BufferedBytes == 64) {
      Compress(context, context.Buffer);
      context.BufferedBytes = 0;
    }
  }
}

void MD4UpdateStr(TMD4Context& context, const AnsiString& s) {
  if (s.empty()) return;
  MD4Update(context, s.data(), static_cast<Cardinal>(s.size()));
}

void MD4Final(TMD4Context& context, PMD4Digest digest) {
  RequireInitialized(context);
  Cardinal n = context.BufferedBytes;
  context.Buffer[n++] = 0x80;
  if (n > 56) {
    std::memset(context.Buffer + n, 0, 64 - n);
    Compress(context, context.Buffer);
    n = 0;
  }
  std::memset(context.Buffer + n, 0, 56 - n);
  StoreLE32(context.Buffer + 56, context.BitCountLo);
  StoreLE32(context.Buffer + 60, context.BitCountHi);
  Compress(context, context.Buffer);

  if (digest) {
    StoreLE32(digest->data(), context.A);
    StoreLE32(digest->data() + 4, context.B);
    StoreLE32(digest->data() + 8, context.C);
    StoreLE32(digest->data() + 12, context.D);
  }
  MD4Burn(context);
}

AnsiString MD4String(const AnsiString& s) {
  TMD4Context context;
  MD4Init(context);
  MD4UpdateStr(context, s);
  TMD4Digest digest;
  MD4Final(context, &digest);
  return AnsiString(reinterpret_cast<const char*>(digest.data()), digest.size());
}
