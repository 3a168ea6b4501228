// The feed scanner: the RSS 2.0 test, the character table and the value windows.
#include "app/FeedScanner.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/rtl/CodePage.h"
#include "platform/rtl/Strings.h"

namespace {

// The part of v before the first x; empty when v holds no x or starts with it.
AnsiString CutBefore(const AnsiString& v, const char* x) { return Copy(v, 1, Pos(x, v) - 1); }

// The value after the start tag `tag` in s, taken from a window of `window`
// characters and cut before `endTag`; empty when s has no such start tag.
AnsiString TagValue(const AnsiString& s, const char* tag, const char* endTag, Integer window) {
  const Integer p = Pos(tag, s);
  if (p == 0) return {};
  return CutBefore(Copy(s, p + static_cast<Integer>(std::char_traits<char>::length(tag)), window),
                   endTag);
}

// A value wrapped in a CDATA section gives the text between the section's start and
// its "]]". Titles and descriptions get this; common writers wrap them all, and the
// section's marks would otherwise show in captions or hide a page's text.
AnsiString StripCData(const AnsiString& v) {
  const Integer c = Pos("<![CDATA[", v);
  if (c == 0) return v;
  return Copy(v, c + 9, Pos("]]", v) - c - 9);
}

struct TableEntry {
  std::string_view From;
  std::string_view To;
};

// The character table, applied in this order.
constexpr TableEntry kTable[] = {
    {"&quot;", "\""},         {"&apos;", "'"},          {"&lt;", "<"},
    {"&gt;", ">"},            {"&amp;", "&"},           {"&#38;", "&"},
    {"&#39;", "'"},           {"&#039;", "'"},          {"&#176;", "\xB0"},
    {"&#8211;", "\x96"},      {"&#8212;", "\x97"},      {"&#8216;", "\x91"},
    {"&#8217;", "'"},         {"&#8220;", "\x93"},      {"&#8221;", "\x94"},
    {"&#8230;", "\x85"},      {"&nbsp;", " "},          {"&ndash;", "\x96"},
    {"\xE2\x80\x9C", "\""},   {"\xE2\x80\x9D", "\""},   {"\xE2\x80\x93", "\x96"},
    {"\xE2\x80\x98", "\x91"}, {"\xE2\x80\x99", "\x92"}, {"\xC3\xAB", "\xEB"},
    {"\xC2\xA3", "\xA3"},
};

constexpr bool NeverLonger() {
  for (const TableEntry& entry : kTable)
    if (entry.To.size() > entry.From.size()) return false;
  return true;
}
static_assert(NeverLonger(), "the in-place passes need replacements no longer than what they replace");

// Text beside a mask of the same length that marks the bytes the table put there
// (1) apart from the feed's own bytes (0), so that the UTF-8 pass never reads a
// table character as part of a sequence.
struct MarkedText {
  AnsiString Text;
  std::string Made;
};

// Every entry of the table is replaced by text no longer than itself, so the passes
// work in place: what is written never overtakes what is still to be read.
void ReplaceAll(MarkedText& t, std::string_view from, std::string_view to) {
  size_t at = t.Text.find(from);
  if (at == AnsiString::npos) return;
  char* text = t.Text.data();
  char* made = t.Made.data();
  size_t read = at, write = at;
  while (at != AnsiString::npos) {
    std::memmove(text + write, text + read, at - read);
    std::memmove(made + write, made + read, at - read);
    write += at - read;
    std::memcpy(text + write, to.data(), to.size());
    std::memset(made + write, 1, to.size());
    write += to.size();
    read = at + from.size();
    at = t.Text.find(from, read);
  }
  const size_t rest = t.Text.size() - read;
  std::memmove(text + write, text + read, rest);
  std::memmove(made + write, made + read, rest);
  t.Text.resize(write + rest);
  t.Made.resize(write + rest);
}

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence of the feed's own bytes at i, with its
// code point; 0 when there is none.
size_t Utf8Sequence(const MarkedText& t, size_t i, char32_t& cp) {
  const auto* s = reinterpret_cast<const uint8_t*>(t.Text.data());
  const size_t n = t.Text.size();
  const uint8_t b = s[i];
  size_t len = 0;
  uint8_t lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;  // no overlong forms
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (i + len > n) return 0;
  for (size_t k = 0; k < len; ++k)
    if (t.Made[i + k] != '\0') return 0;
  if (s[i + 1] < lo || s[i + 1] > hi) return 0;
  for (size_t k = 1; k < len; ++k) {
    if (!IsContinuation(s[i + k])) return 0;
    cp = (cp << 6) | (s[i + k] & 0x3F);
  }
  return len;
}

char Windows1252Of(char32_t cp) {
  if (cp >= 0xA0 && cp <= 0xFF) return static_cast<char>(cp);
  if (cp > 0xFFFF) return '?';
  const AnsiString a = WideToAnsi(WideString(1, static_cast<char16_t>(cp)));
  return a.size() == 1 ? a[0] : '?';
}

// In place, as every sequence becomes one character.
void ConvertRemainingUtf8(MarkedText& t) {
  const size_t n = t.Text.size();
  size_t write = 0;
  for (size_t i = 0; i < n;) {
    if (static_cast<uint8_t>(t.Text[i]) >= 0xC2) {
      char32_t cp = 0;
      if (const size_t len = Utf8Sequence(t, i, cp)) {
        t.Text[write++] = Windows1252Of(cp);
        i += len;
        continue;
      }
    }
    t.Text[write++] = t.Text[i++];
  }
  t.Text.resize(write);
}

// The smaller of two positions that are not 0; 0 when both are.
Integer Nearer(Integer a, Integer b) {
  if (a > 0 && b > 0) return a < b ? a : b;
  return a > 0 ? a : b;
}

AnsiString ImageAddress(const AnsiString& text) {
  if (const Integer i = Pos("itunes:image", text); i > 0) {
    AnsiString a = Copy(text, i, kChannelWindow);
    if (const Integer h = Pos("href=\"", a); h > 0)
      a = Copy(a, h + 6, kChannelWindow);
    else
      a = Copy(a, Pos("http", a), kChannelWindow);
    return Copy(a, 1, Nearer(Pos("\"", a), Pos("<", a)) - 1);
  }
  if (const Integer i = Pos("<image>", text); i > 0) {
    AnsiString a = Copy(text, i, kChannelWindow);
    return CutBefore(Copy(a, Pos("<url>", a) + 5, kChannelWindow), "</url>");
  }
  return {};
}

// The address in the url attribute of the item's first enclosure element; empty
// when the element has no url attribute.
AnsiString EnclosureAddress(const AnsiString& item) {
  const Integer p = Pos("<enclosure", item);
  if (p == 0) return {};
  AnsiString e = Copy(item, p, kItemWindow);
  const Integer u = Pos("url=", e);
  const Integer close = Pos(">", e);
  if (u == 0 || (close > 0 && u > close)) return {};
  e = Copy(e, u + 5, kItemWindow);  // past url= and the opening quote
  return Copy(e, 1, Nearer(Pos("\"", e), Pos("'", e)) - 1);
}

TFeedItem ReadItem(const AnsiString& item) {
  TFeedItem v;
  v.Title = StripCData(TagValue(item, "<title>", "</title>", kItemWindow));
  v.Link = TagValue(item, "<link>", "</link>", kItemWindow);
  v.Date = TagValue(item, "<pubDate>", "</pubDate>", kItemWindow);
  v.Description = StripCData(TagValue(item, "<description>", "</description>", kItemWindow));
  // "<content:" plus the rest of the content:encoded start tag: 17 characters.
  if (const Integer p = Pos("<content:", item); p > 0)
    v.Content = StripCData(CutBefore(Copy(item, p + 17, kItemWindow), "</content"));
  v.Enclosure = EnclosureAddress(item);
  return v;
}

}  // namespace

bool IsRss2(const AnsiString& text) {
  const Integer t = Pos("<rss ", text);
  if (t == 0) return false;
  AnsiString tag = Copy(text, t, kChannelWindow);
  const Integer g = Pos(">", tag);
  if (g == 0) return false;
  tag = Copy(tag, 1, g);
  return Pos("version", tag) > 0 && Pos("=", tag) > 0 && Pos("\"2.0\"", tag) > 0;
}

AnsiString DecodeEntities(const AnsiString& text) {
  MarkedText t{text, std::string(text.size(), '\0')};
  for (const TableEntry& entry : kTable) ReplaceAll(t, entry.From, entry.To);
  ConvertRemainingUtf8(t);
  return std::move(t.Text);
}

bool ScanFeed(const AnsiString& feedText, TFeedChannel& channel) {
  if (!IsRss2(feedText)) return false;
  AnsiString text = DecodeEntities(feedText);
  TFeedChannel c;

  // The title tag may carry attributes.
  AnsiString v = Copy(text, Pos("<title", text), kChannelTitleWindow);
  v = Copy(v, Pos(">", v) + 1, kChannelTitleWindow);
  c.Title = StripCData(CutBefore(v, "</title>"));
  c.Link = TagValue(text, "<link>", "</link>", kChannelWindow);
  if (c.Title.empty()) c.Title = c.Link;
  c.Description = StripCData(TagValue(text, "<description>", "</description>", kChannelWindow));
  c.ImageUrl = ImageAddress(text);

  for (int k = 0; k < kMaxFeedItems; ++k) {
    const Integer f = Pos("<item>", text);
    const AnsiString item = f == 0 ? AnsiString() : CutBefore(Copy(text, f + 6, kItemWindow), "</item>");
    if (item.empty()) break;
    // Go on right after the item's end tag, with the rest cut to one window.
    text = Copy(text, f + 6 + Length(item) + 7, kItemWindow);
    c.Items.push_back(ReadItem(item));
  }
  channel = std::move(c);
  return true;
}
