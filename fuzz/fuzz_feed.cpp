// Feed text comes from any server and from any page a browser shows. The scanner
// and the pages built from its values must take any bytes in time that grows with
// the input, and keep their contract: the scan accepts exactly the texts that pass
// the RSS 2.0 test, every value stays inside its window, the character table never
// makes a text longer, and every page is built.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/FeedPages.h"
#include "app/FeedScanner.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "feed invariant broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const AnsiString text(reinterpret_cast<const char*>(data), size);

  const AnsiString decoded = DecodeEntities(text);
  Check(decoded.size() <= text.size(), "the character table lengthened the text");
  if (text.find_first_of("&\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
                         "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F"
                         "\xA0\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xAA\xAB\xAC\xAD\xAE\xAF"
                         "\xB0\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF"
                         "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF"
                         "\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xDD\xDE\xDF"
                         "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"
                         "\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF") ==
      AnsiString::npos)
    Check(decoded == text, "a text without references or 8-bit bytes changed");

  TFeedChannel channel;
  const bool accepted = ScanFeed(text, channel);
  Check(accepted == IsRss2(text), "the scan and the RSS 2.0 test disagree");
  if (!accepted) return 0;
  Check(channel.Items.size() <= kMaxFeedItems, "more items than the scan takes");
  Check(channel.Link.size() <= kChannelWindow && channel.Description.size() <= kChannelWindow &&
            channel.ImageUrl.size() <= kChannelWindow,
        "a channel value outside its window");
  Check(channel.Title.size() <= kChannelTitleWindow, "the channel title outside its window");

  const AnsiString page = ChannelPageText(channel.Title, channel.Description, "http://feed.test/",
                                          channel.ImageUrl, "/program/");
  Check(page.size() >= channel.Title.size() + channel.Description.size(), "a value left out of the channel page");
  for (const TFeedItem& item : channel.Items) {
    for (const AnsiString* v :
         {&item.Title, &item.Link, &item.Date, &item.Description, &item.Content, &item.Enclosure})
      Check(v->size() <= kItemWindow, "an item value outside its window");
    const AnsiString itemPage = ItemPageText(channel.Title, channel.Link, item);
    Check(itemPage.find(item.Body()) != AnsiString::npos, "the item page lacks its body");
    Check(ItemTabCaption(item).size() <= 11, "a tab caption over 11 characters");
  }
  return 0;
}
