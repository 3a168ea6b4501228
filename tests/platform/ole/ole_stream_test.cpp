#include "platform/ole/Stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/rtl/Streams.h"
#include "platform/win/GlobalMemory.h"

namespace {

std::string ReadAll(IStream* stream) {
  std::string out;
  char buffer[7];  // small, to read in several pieces
  for (;;) {
    ULONG got = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &got), S_OK);
    if (got == 0) break;
    out.append(buffer, got);
  }
  return out;
}

uint64_t SizeOf(IStream* stream) {
  STATSTG stat;
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.type, STGTY_STREAM);
  return stat.cbSize;
}

TEST(HGlobalStream, WritesGrowTheBlockAndSeeksMove) {
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(0, TRUE, stream.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(SizeOf(stream.Get()), 0u);
  ULONG written = 0;
  ASSERT_EQ(stream->Write("hello world", 11, &written), S_OK);
  EXPECT_EQ(written, 11u);
  EXPECT_EQ(SizeOf(stream.Get()), 11u);
  HGLOBAL mem = 0;
  ASSERT_EQ(GetHGlobalFromStream(stream.Get(), &mem), S_OK);
  EXPECT_EQ(GlobalSize(mem), 11u);

  struct SeekCase {
    int64_t move;
    DWORD origin;
    HRESULT expected;
    uint64_t position;
  };
  const SeekCase seeks[] = {
      {0, STREAM_SEEK_SET, S_OK, 0},     {6, STREAM_SEEK_CUR, S_OK, 6},
      {-5, STREAM_SEEK_END, S_OK, 6},    {-7, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 6},
      {0, 3, STG_E_INVALIDFUNCTION, 6},  {20, STREAM_SEEK_SET, S_OK, 20},
  };
  for (const SeekCase& c : seeks) {
    uint64_t position = 12345;
    const HRESULT hr = stream->Seek(c.move, c.origin, &position);
    EXPECT_EQ(hr, c.expected);
    uint64_t now = 0;
    stream->Seek(0, STREAM_SEEK_CUR, &now);
    EXPECT_EQ(now, c.position);
  }
  // Past the end: reading gives nothing, writing fills the gap with zeros.
  char byte = 'x';
  ULONG got = 1;
  EXPECT_EQ(stream->Read(&byte, 1, &got), S_OK);
  EXPECT_EQ(got, 0u);
  ASSERT_EQ(stream->Write("!", 1, nullptr), S_OK);
  EXPECT_EQ(SizeOf(stream.Get()), 21u);
  stream->Seek(0, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(ReadAll(stream.Get()), std::string("hello world") + std::string(9, '\0') + "!");

  EXPECT_EQ(stream->SetSize(5), S_OK);
  stream->Seek(0, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(ReadAll(stream.Get()), "hello");
  EXPECT_EQ(GlobalSize(mem), 5u);

  // A clone shares the content and has its own position.
  ComPtr<IStream> clone;
  stream->Seek(1, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(stream->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(ReadAll(clone.Get()), "ello");
  ASSERT_EQ(stream->Write("EL", 2, nullptr), S_OK);
  clone->Seek(0, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(ReadAll(clone.Get()), "hELlo");

  ComPtr<ISequentialStream> sequential;
  EXPECT_EQ(stream.As(&sequential), S_OK);
}

TEST(HGlobalStream, ABlockOfTheCallerStaysOrGoesAsAsked) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memcpy(GlobalLock(mem), "abcd", 4);
  GlobalUnlock(mem);
  {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, FALSE, stream.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(SizeOf(stream.Get()), 4u);
    EXPECT_EQ(ReadAll(stream.Get()), "abcd");
    ASSERT_EQ(stream->Write("ef", 2, nullptr), S_OK);
  }
  ASSERT_EQ(GlobalSize(mem), 6u);  // still the caller's, grown in place
  EXPECT_EQ(std::memcmp(GlobalLock(mem), "abcdef", 6), 0);
  GlobalUnlock(mem);
  {
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(mem, TRUE, stream.ReleaseAndGetAddressOf()), S_OK);
  }
  EXPECT_EQ(GlobalSize(mem), 0u);  // freed with the stream
  EXPECT_EQ(GlobalFree(mem), mem);

  IStream* none = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(0x7777777, FALSE, &none), E_INVALIDARG);
  EXPECT_EQ(CreateStreamOnHGlobal(0, FALSE, nullptr), E_INVALIDARG);
}

TEST(StreamAdapter, ReadsAndWritesTheFrameworkStream) {
  TMemoryStream memory;
  ComPtr<TStreamAdapter> adapter = MakeComObject<TStreamAdapter>(&memory, soReference);
  ULONG written = 0;
  ASSERT_EQ(adapter->Write("\xFF\xFEh\0i\0", 6, &written), S_OK);
  EXPECT_EQ(written, 6u);
  EXPECT_EQ(memory.GetSize(), 6);
  EXPECT_EQ(SizeOf(adapter.Get()), 6u);
  uint64_t position = 0;
  ASSERT_EQ(adapter->Seek(2, STREAM_SEEK_SET, &position), S_OK);
  EXPECT_EQ(ReadAll(adapter.Get()), std::string("h\0i\0", 4));

  // CopyTo into a global-memory stream.
  ComPtr<IStream> target;
  ASSERT_EQ(CreateStreamOnHGlobal(0, TRUE, target.ReleaseAndGetAddressOf()), S_OK);
  adapter->Seek(0, STREAM_SEEK_SET, nullptr);
  uint64_t read = 0, copied = 0;
  ASSERT_EQ(adapter->CopyTo(target.Get(), 100, &read, &copied), S_OK);
  EXPECT_EQ(read, 6u);
  EXPECT_EQ(copied, 6u);
  EXPECT_EQ(SizeOf(target.Get()), 6u);

  IStream* clone = reinterpret_cast<IStream*>(1);
  EXPECT_EQ(adapter->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(clone, nullptr);
  EXPECT_EQ(adapter->Seek(0, 9, nullptr), STG_E_INVALIDFUNCTION);

  // An owned stream goes with the adapter (ASan reports a leak otherwise).
  ComPtr<TStreamAdapter> owning = MakeComObject<TStreamAdapter>(new TMemoryStream, soOwned);
  EXPECT_EQ(owning->Write("x", 1, nullptr), S_OK);
}

}  // namespace
