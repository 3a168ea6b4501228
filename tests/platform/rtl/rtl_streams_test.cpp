#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/sim/Faults.h"
#include "tests/support/Peers.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Content(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.GetSize()));
}

class Stream : public ::testing::Test {
 protected:
  void TearDown() override { sim::ClearFaults(); }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }
  larktest::TempDir dir_;
};

TEST_F(Stream, MemoryWritePastTheEndFillsTheGapWithZeros) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  stream.SetSize(2);  // drops "cdef"
  EXPECT_EQ(stream.Seek(Int64{5}, soBeginning), 5);
  EXPECT_EQ(stream.Write("Z", 1), 1);
  // The old bytes must not come back in the gap.
  EXPECT_EQ(Content(stream), std::string("ab\0\0\0Z", 6));
  EXPECT_EQ(stream.GetPosition(), 6);

  // Reading at or past the end gives nothing.
  char buffer[4];
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  stream.Seek(Int64{100}, soBeginning);
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  EXPECT_EQ(stream.GetSize(), 6);
}

TEST_F(Stream, MemorySetSizeKeepsContentAndClampsThePosition) {
  TMemoryStream stream;
  std::string data(20000, 'x');  // past one block
  stream.WriteBuffer(data.data(), static_cast<Integer>(data.size()));
  stream.SetSize(30000);
  EXPECT_EQ(stream.GetPosition(), 20000);
  EXPECT_EQ(Content(stream), data + std::string(10000, '\0'));
  stream.SetSize(3);
  EXPECT_EQ(stream.GetPosition(), 3);
  EXPECT_EQ(Content(stream), "xxx");
  // Growing again over the dropped bytes gives zeros, not the old content.
  stream.SetSize(5);
  EXPECT_EQ(Content(stream), std::string("xxx\0\0", 5));
  stream.Clear();
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
  EXPECT_THROW(stream.SetSize(TMemoryStream::kMaxSize + 1), EStreamError);
  EXPECT_THROW(stream.SetSize(-1), EStreamError);
}

TEST_F(Stream, MemoryWriteFromItsOwnMemory) {
  TMemoryStream stream;
  stream.WriteBuffer("0123456789", 10);
  // The source lies in the stream, which has to grow while copying it.
  for (int i = 0; i < 12; ++i) stream.WriteBuffer(stream.Memory(), static_cast<Integer>(stream.GetSize()));
  EXPECT_EQ(stream.GetSize(), 10 << 12);
  EXPECT_EQ(Content(stream).substr(stream.GetSize() - 10), "0123456789");
}

// Each kind of stream follows the same seek contract from a stream holding "0123456789".
TEST_F(Stream, SeekOriginsAgreeAcrossStreams) {
  WriteFile(Path("ten"), "0123456789");
  TMemoryStream memory;
  memory.WriteBuffer("0123456789", 10);
  TStringStream text("0123456789");
  TFileStream file(Path("ten"), fmOpenRead | fmShareDenyNone);
  TStream* streams[] = {&memory, &text, &file};
  struct Case {
    Int64 offset;
    Word origin;
    Int64 expected;
  } cases[] = {
      {3, soFromBeginning, 3}, {2, soFromCurrent, 5}, {-1, soFromCurrent, 4},
      {0, soFromEnd, 10},      {-4, soFromEnd, 6},    {0, soFromBeginning, 0},
  };
  for (TStream* stream : streams) {
    for (const Case& c : cases)
      EXPECT_EQ(stream->Seek(c.offset, c.origin), c.expected) << stream->ClassName();
    stream->Seek(-3, soEnd);
    char digit = 0;
    stream->ReadBuffer(&digit, 1);
    EXPECT_EQ(digit, '7') << stream->ClassName();
    EXPECT_EQ(stream->GetSize(), 10);
    EXPECT_THROW(stream->Seek(Int64{0}, Word{3}), EStreamError);
  }
}

TEST_F(Stream, ReadBufferAndWriteBufferRaiseWhenShort) {
  TStringStream stream("abc");
  char buffer[8];
  try {
    stream.ReadBuffer(buffer, 4);
    FAIL() << "short read accepted";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  stream.SetPosition(0);
  stream.ReadBuffer(buffer, 3);
  stream.ReadBuffer(buffer, 0);  // nothing asked, nothing raised
}

TEST_F(Stream, CopyFromCopiesCountOrTheWholeSource) {
  std::string data(0xF000 * 2 + 123, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  TStringStream source(data);

  TMemoryStream whole;
  source.SetPosition(500);  // count 0 starts from the beginning anyway
  EXPECT_EQ(whole.CopyFrom(&source, 0), static_cast<Int64>(data.size()));
  EXPECT_EQ(Content(whole), data);

  TMemoryStream part;
  source.SetPosition(10);
  EXPECT_EQ(part.CopyFrom(&source, 5), 5);
  EXPECT_EQ(Content(part), data.substr(10, 5));
  EXPECT_EQ(source.GetPosition(), 15);

  source.Seek(-3, soEnd);
  EXPECT_THROW(part.CopyFrom(&source, 4), EReadError);
  EXPECT_THROW(part.CopyFrom(&source, -1), EReadError);
}

TEST_F(Stream, StringStreamReadsWritesAndEndsAtTheLastWrite) {
  TStringStream stream("hello world");
  EXPECT_EQ(stream.ReadString(5), "hello");
  EXPECT_EQ(stream.ReadString(100), " world");
  EXPECT_EQ(stream.ReadString(1), "");
  stream.SetPosition(6);
  stream.WriteString("there");
  EXPECT_EQ(stream.GetDataString(), "hello there");
  stream.SetPosition(1);
  stream.WriteString("EY");  // the string ends after what was written
  EXPECT_EQ(stream.GetDataString(), "hEY");
  EXPECT_EQ(stream.Seek(Int64{50}, soBeginning), 3);  // kept inside the string
  stream.WriteString(stream.GetDataString());
  EXPECT_EQ(stream.GetDataString(), "hEYhEY");
  stream.SetSize(8);
  EXPECT_EQ(stream.GetDataString(), std::string("hEYhEY\0\0", 8));
}

TEST_F(Stream, OpenErrorsNameTheFileAndTheReason) {
  mkdir(Path("folder").c_str(), 0755);
  struct Case {
    std::string name;
    Word mode;
    bool create;
    std::string reason;
  } cases[] = {
      {Path("missing.bin"), fmOpenRead, false, "The system cannot find the file specified"},
      {Path("nofolder/x.bin"), fmOpenReadWrite, false,
       "The system cannot find the path specified"},
      {Path("nofolder/x.bin"), fmCreate, true, "The system cannot find the path specified"},
      {Path("folder"), fmOpenRead | fmShareDenyNone, false, "Access is denied"},
      {Path("folder"), fmCreate, true, "Access is denied"},
      {Path("missing.bin"), 0x0003, false, "The parameter is incorrect"},
  };
  for (const Case& c : cases) {
    std::string message;
    try {
      TFileStream stream(c.name, c.mode);
      ADD_FAILURE() << "opened " << c.name;
    } catch (const EFCreateError& e) {
      EXPECT_TRUE(c.create) << c.name;
      message = e.Message();
    } catch (const EFOpenError& e) {
      EXPECT_FALSE(c.create) << c.name;
      message = e.Message();
    }
    const std::string verb = c.create ? "create" : "open";
    EXPECT_EQ(message, "Cannot " + verb + " file \"" + c.name + "\". " + c.reason);
  }
  EXPECT_FALSE(std::ifstream(Path("missing.bin")).good());
}

TEST_F(Stream, CreateTruncatesAndSetSizeTruncatesOrExtends) {
  WriteFile(Path("f"), "old content");
  {
    TFileStream stream(Path("f"), fmCreate);
    EXPECT_EQ(stream.GetSize(), 0);
    stream.WriteBuffer("new", 3);
  }
  EXPECT_EQ(ReadFile(Path("f")), "new");

  TFileStream stream(Path("f"), fmOpenReadWrite | fmShareExclusive);
  stream.SetSize(6);
  EXPECT_EQ(stream.GetPosition(), 6);
  EXPECT_EQ(ReadFile(Path("f")), std::string("new\0\0\0", 6));
  stream.SetSize(2);
  EXPECT_EQ(ReadFile(Path("f")), "ne");
  EXPECT_EQ(stream.Seek(Int64{-1}, soBeginning), -1);

  WriteFile(Path("ro"), "x");
  TFileStream ro(Path("ro"), fmOpenRead | fmShareDenyNone);
  EXPECT_THROW(ro.SetSize(0), EOSError);
  char c;
  EXPECT_EQ(ro.Write("y", 1), 0);  // not open for writing: a short count, no exception
  EXPECT_EQ(ro.Read(&c, 1), 1);
}

TEST_F(Stream, InjectedFailuresActLikeTheRealCalls) {
  sim::FailNext(sim::Fault::FileCreate);
  EXPECT_THROW(TFileStream(Path("never"), fmCreate), EFCreateError);
  EXPECT_FALSE(std::ifstream(Path("never")).good());

  WriteFile(Path("existing"), "keep");
  sim::FailNext(sim::Fault::FileCreate);
  EXPECT_THROW(TFileStream(Path("existing"), fmOpenWrite | fmShareDenyNone), EFOpenError);
  EXPECT_EQ(ReadFile(Path("existing")), "keep");

  TFileStream stream(Path("out"), fmCreate);
  sim::FailNext(sim::Fault::FileWrite);
  EXPECT_EQ(stream.Write("abc", 3), 0);  // fails as a short write
  sim::FailNext(sim::Fault::FileWrite);
  try {
    stream.WriteBuffer("abc", 3);
    FAIL() << "failed write accepted";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  stream.WriteBuffer("xyz", 3);
  EXPECT_EQ(ReadFile(Path("out")), "xyz");
}

std::string TryOpen(const std::string& name, Word mode) {
  try {
    TFileStream stream(name, mode);
    return "ok";
  } catch (const EFOpenError& e) {
    return e.Message();
  } catch (const EFCreateError& e) {
    return e.Message();
  }
}

TEST_F(Stream, ShareModesRefuseConflictingOpens) {
  const std::string name = Path("shared");
  WriteFile(name, "data");
  struct Case {
    Word held;
    Word wanted;
    bool opens;
  } cases[] = {
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyNone, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareDenyNone, false},
      {fmOpenReadWrite | fmShareDenyNone, fmOpenRead | fmShareDenyWrite, false},
      {fmOpenReadWrite | fmShareDenyNone, fmOpenWrite | fmShareDenyNone, true},
      {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, false},
      {fmOpenRead | fmShareCompat, fmOpenRead | fmShareDenyNone, false},
      {fmOpenRead | fmShareDenyNone, fmOpenRead | fmShareExclusive, false},
      {fmOpenWrite | fmShareDenyRead, fmOpenRead | fmShareDenyNone, false},
      {fmOpenWrite | fmShareDenyRead, fmOpenWrite | fmShareDenyNone, true},
      {fmCreate, fmOpenRead | fmShareDenyNone, false},
      {fmOpenRead | fmShareDenyNone, fmCreate, false},
  };
  for (const Case& c : cases) {
    WriteFile(name, "data");
    {
      TFileStream held(name, c.held);
      std::string result = TryOpen(name, c.wanted);
      std::string refused = std::string("Cannot ") + (c.wanted == fmCreate ? "create" : "open") +
                            " file \"" + name +
                            "\". The process cannot access the file because it is being used "
                            "by another process";
      EXPECT_EQ(result, c.opens ? "ok" : refused) << std::hex << c.held << " then " << c.wanted;
    }
    if (c.held != fmCreate) {
      EXPECT_EQ(ReadFile(name), "data");  // a refused create truncates nothing
    }
    EXPECT_EQ(TryOpen(name, c.wanted), "ok");  // free once the holder closed
  }
}

TEST_F(Stream, ShareModesHoldBetweenProcesses) {
  const std::string name = Path("locked");
  WriteFile(name, "data");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char byte = 0;
    {
      TFileStream stream(name, fmOpenReadWrite | fmShareExclusive);
      (void)!write(ready[1], &byte, 1);
      (void)!read(release[0], &byte, 1);
    }
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  EXPECT_NE(TryOpen(name, fmOpenRead | fmShareDenyNone), "ok");
  ASSERT_EQ(write(release[1], &byte, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(TryOpen(name, fmOpenRead | fmShareDenyNone), "ok");
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

TEST_F(Stream, MemoryStreamLoadsAndSavesFiles) {
  const std::string data("bytes\0with\xFFnul\0", 15);
  WriteFile(Path("in"), data);
  TMemoryStream stream;
  stream.LoadFromFile(Path("in"));
  EXPECT_EQ(Content(stream), data);
  stream.Seek(0, soEnd);
  stream.WriteBuffer("+", 1);
  stream.SaveToFile(Path("out"));
  EXPECT_EQ(ReadFile(Path("out")), data + "+");

  TFileStream file(Path("out"), fmOpenRead | fmShareDenyWrite);
  TMemoryStream copy;
  copy.LoadFromStream(&file);
  EXPECT_EQ(Content(copy), data + "+");
  TStringStream text;
  copy.SaveToStream(&text);
  EXPECT_EQ(text.GetDataString(), data + "+");
}

}  // namespace
