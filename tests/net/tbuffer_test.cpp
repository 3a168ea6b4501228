// TBuffer, the block of the send queue: counts, space reuse and resizing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/WSockBuf.h"
#include "platform/rtl/Exceptions.h"

namespace {

// One step on a buffer and what it must answer and leave behind.
struct Step {
  char op;            // 'w' write, 'r' read, 'x' remove, 'p' peek
  std::string data;   // bytes to write
  Integer len;        // length asked for read/remove/peek (write uses data's size unless len >= 0)
  Integer answer;     // count answered (for peek: the length reported)
  std::string out;    // bytes read or peeked
  Integer wr, rd;     // counts afterwards
};

struct Case {
  const char* name;
  Integer size;
  Integer capacity;  // the block size that results from the constructor
  std::vector<Step> steps;
};

std::vector<Case> Cases() {
  return {
      {"WriteFillsAndStopsWhenFull", 4, 4,
       {{'w', "abc", -1, 3, "", 3, 0}, {'w', "def", -1, 1, "", 4, 0}, {'w', "g", -1, 0, "", 4, 0}}},
      {"ReadTakesInOrderAndResetsWhenEmpty", 8, 8,
       {{'w', "hello", -1, 5, "", 5, 0},
        {'r', "", 2, 2, "he", 5, 2},
        {'r', "", 10, 3, "llo", 0, 0},
        {'r', "", 4, 0, "", 0, 0}}},
      {"SpaceIsReusedOnlyOnceAllIsRead", 4, 4,
       {{'w', "abcd", -1, 4, "", 4, 0},
        {'r', "", 3, 3, "abc", 4, 3},
        {'w', "x", -1, 0, "", 4, 3},
        {'r', "", 1, 1, "d", 0, 0},
        {'w', "wxyz", -1, 4, "", 4, 0}}},
      {"PeekShowsUnreadBytesWithoutTakingThem", 8, 8,
       {{'p', "", 0, 0, "", 0, 0},
        {'w', "abcdef", -1, 6, "", 6, 0},
        {'x', "", 2, 2, "", 6, 2},
        {'p', "", 0, 4, "cdef", 6, 2}}},
      {"RemoveDropsAtMostWhatIsUnread", 8, 8,
       {{'w', "abc", -1, 3, "", 3, 0}, {'x', "", 10, 3, "", 0, 0}, {'x', "", 1, 0, "", 0, 0}}},
      {"NonPositiveLengthsDoNothing", 8, 8,
       {{'w', "abc", 0, 0, "", 0, 0},
        {'w', "abc", -5, 0, "", 0, 0},
        {'w', "abc", 3, 3, "", 3, 0},
        {'r', "", 0, 0, "", 3, 0},
        {'x', "", -1, 0, "", 3, 0}}},
      {"SizeZeroMeansTheDefaultBlock", 0, TBuffer::kDefaultSize, {{'w', std::string(2000, 'q'), -1, 1514, "", 1514, 0}}},
      {"NegativeSizeMeansTheDefaultBlock", -7, TBuffer::kDefaultSize, {}},
  };
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class TBufferCases : public ::testing::TestWithParam<Case> {};

TEST_P(TBufferCases, StepsAnswerAndCount) {
  const Case& c = GetParam();
  TBuffer buffer(c.size);
  EXPECT_EQ(buffer.GetBufSize(), c.capacity);
  int index = 0;
  for (const Step& s : c.steps) {
    SCOPED_TRACE("step " + std::to_string(index++) + " '" + s.op + "'");
    std::string out;
    Integer answer = -99;
    switch (s.op) {
      case 'w': {
        const Integer len = s.len == -1 ? static_cast<Integer>(s.data.size()) : s.len;
        answer = buffer.Write(s.data.data(), len);
        break;
      }
      case 'r': {
        std::vector<char> area(static_cast<size_t>(std::max(s.len, 0)) + 1, '\0');
        answer = buffer.Read(area.data(), s.len);
        if (answer > 0) out.assign(area.data(), static_cast<size_t>(answer));
        break;
      }
      case 'x':
        answer = buffer.Remove(s.len);
        break;
      case 'p': {
        Integer len = -1;
        const Byte* p = buffer.Peek(len);
        answer = len;
        if (p) out.assign(reinterpret_cast<const char*>(p), static_cast<size_t>(len));
        EXPECT_EQ(p == nullptr, len == 0);
        break;
      }
      default:
        FAIL() << "unknown step";
    }
    EXPECT_EQ(answer, s.answer);
    EXPECT_EQ(out, s.out);
    EXPECT_EQ(buffer.GetWrCount(), s.wr);
    EXPECT_EQ(buffer.GetRdCount(), s.rd);
  }
}

INSTANTIATE_TEST_SUITE_P(TBuffer, TBufferCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TBuffer, SetBufSizeKeepsWrittenAndReadPositions) {
  TBuffer buffer(4);
  ASSERT_EQ(buffer.Write("abcd", 4), 4);
  char two[2];
  ASSERT_EQ(buffer.Read(two, 2), 2);
  buffer.SetBufSize(10);
  EXPECT_EQ(buffer.GetBufSize(), 10);
  EXPECT_EQ(buffer.GetWrCount(), 4);
  EXPECT_EQ(buffer.GetRdCount(), 2);
  EXPECT_EQ(buffer.Write("efghij", 6), 6);
  char rest[8] = {};
  ASSERT_EQ(buffer.Read(rest, 8), 8);
  EXPECT_EQ(std::string(rest, 8), "cdefghij");
}

TEST(TBuffer, SetBufSizeBelowTheDataHeldIsRefusedAndLosesNothing) {
  TBuffer buffer(8);
  ASSERT_EQ(buffer.Write("abcdef", 6), 6);
  EXPECT_THROW(buffer.SetBufSize(3), EInvalidOperation);
  EXPECT_EQ(buffer.GetBufSize(), 8);
  char out[6];
  ASSERT_EQ(buffer.Read(out, 6), 6);
  EXPECT_EQ(std::string(out, 6), "abcdef");
}

TEST(TBuffer, SetBufSizeOfAnEmptyBlockReplacesIt) {
  TBuffer buffer(8);
  buffer.SetBufSize(2);
  EXPECT_EQ(buffer.GetBufSize(), 2);
  EXPECT_EQ(buffer.Write("xyz", 3), 2);
}

}  // namespace
