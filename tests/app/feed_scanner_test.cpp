// The feed scanner: the RSS 2.0 test, the character table with the conversion of
// the remaining UTF-8, the value windows, and feeds written by other programs read
// beside Python's XML parser.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "app/FeedScanner.h"
#include "platform/rtl/CodePage.h"
#include "tests/support/Peers.h"

namespace {

AnsiString Rss(const AnsiString& channelBody) {
  return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\">\n<channel>\n" + channelBody +
         "\n</channel>\n</rss>\n";
}

TFeedChannel Scan(const AnsiString& text) {
  TFeedChannel channel;
  EXPECT_TRUE(ScanFeed(text, channel)) << text;
  return channel;
}

TEST(FeedScanner, OnlyAnRss2StartTagIsAccepted) {
  struct Case {
    const char* text;
    bool accepted;
  } cases[] = {
      {"<rss version=\"2.0\">", true},
      {"<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" version=\"2.0\" "
       "xmlns:atom=\"http://www.w3.org/2005/Atom\">",
       true},
      {"<?xml version=\"1.0\"?><rss version = \"2.0\" >", true},
      {"<rss version=\"0.91\">", false},
      {"<rss version='2.0'>", false},
      {"<rss>", false},
      {"<rssversion=\"2.0\">", false},
      {"<RSS version=\"2.0\">", false},
      {"<rss version=\"2.0\"", false},  // no end of the tag
      {"<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom</title></feed>", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsRss2(c.text), c.accepted) << c.text;
    TFeedChannel channel;
    channel.Title = "kept";
    EXPECT_EQ(ScanFeed(c.text, channel), c.accepted) << c.text;
    if (!c.accepted) {
      EXPECT_EQ(channel.Title, "kept");
    }
  }
  // The end of the tag must come within 999 characters of its start.
  EXPECT_FALSE(IsRss2("<rss " + AnsiString(995, ' ') + "version=\"2.0\">"));
  EXPECT_TRUE(IsRss2("<rss " + AnsiString(980, ' ') + "version=\"2.0\">"));
}

TEST(FeedScanner, CharacterTableThenTheRemainingUtf8) {
  struct Case {
    AnsiString in, out;
  } cases[] = {
      {"&quot;&apos;&lt;&gt;&amp;&#38;&#39;&#039;", "\"'<>&&''"},
      {"&#176;&#8211;&#8212;&#8216;&#8217;&#8220;&#8221;&#8230;&nbsp;&ndash;",
       "\xB0\x96\x97\x91'\x93\x94\x85 \x96"},
      // Replaced one after the other: &amp;lt; stays &lt;, &amp;#38; becomes &.
      {"&amp;lt; &amp;#38;", "&lt; &"},
      {"\xE2\x80\x9Cq\xE2\x80\x9D \xE2\x80\x93 \xE2\x80\x98 \xE2\x80\x99 \xC3\xAB \xC2\xA3",
       "\"q\" \x96 \x91 \x92 \xEB \xA3"},
      // Other UTF-8: its Windows-1252 character, or "?" where there is none.
      {"caf\xC3\xA9 \xE2\x80\x94 \xE2\x82\xAC \xC3\xAF", "caf\xE9 \x97 \x80 \xEF"},
      {"\xE4\xB8\xAD \xF0\x9F\x8E\xA7 \xC5\x93", "? ? \x9C"},
      // Not UTF-8: Windows-1252 text stays as it is.
      {"caf\xE9 \x93quoted\x94 \x85", "caf\xE9 \x93quoted\x94 \x85"},
      {"\xC3 \xE2\x80 \xED\xA0\x80 \xC0\xAF \xF4\x90\x80\x80",
       "\xC3 \xE2\x80 \xED\xA0\x80 \xC0\xAF \xF4\x90\x80\x80"},
      // What the table puts there is never read as part of a UTF-8 sequence.
      {"\xE2&#8211;&#8211;", "\xE2\x96\x96"},
      {"\xC3\xAB&#8230;&#8230;", "\xEB\x85\x85"},
      {"\xC2&#176;", "\xC2\xB0"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeEntities(c.in), c.out) << c.in;
}

TEST(FeedScanner, ChannelValues) {
  const TFeedChannel c = Scan(Rss(
      "<title type=\"text\">Tom &amp; Jerry&#8217;s \xE2\x80\x99show\xE2\x80\x99</title>\n"
      "<link>http://example.test/</link>\n<description>About it.</description>\n"
      "<image><url>http://example.test/i.png</url><title>x</title></image>"));
  EXPECT_EQ(c.Title, "Tom & Jerry's \x92show\x92");
  EXPECT_EQ(c.Link, "http://example.test/");
  EXPECT_EQ(c.Description, "About it.");
  EXPECT_EQ(c.ImageUrl, "http://example.test/i.png");
  EXPECT_TRUE(c.Items.empty());

  // Without a title the link stands in; titles in CDATA lose the section's marks.
  EXPECT_EQ(Scan(Rss("<link>http://x.test/</link>")).Title, "http://x.test/");
  EXPECT_EQ(Scan(Rss("<title><![CDATA[Show & Tell]]></title>")).Title, "Show & Tell");
  EXPECT_EQ(Scan(Rss("<description><![CDATA[<p>About</p>]]></description>")).Description,
            "<p>About</p>");

  // A missing start tag gives an empty value, not text from elsewhere in the feed.
  const TFeedChannel bare = Scan(Rss("<title>T</title><atom:link href=\"h\"/> junk </link>"
                                     " more </description>"));
  EXPECT_EQ(bare.Link, "");
  EXPECT_EQ(bare.Description, "");
  // A value longer than its window has no end tag in it and comes out empty.
  EXPECT_EQ(Scan(Rss("<title>T</title><description>" + AnsiString(990, 'd') + "</description>"))
                .Description,
            "");
  EXPECT_EQ(Scan(Rss("<title>T</title><description>" + AnsiString(985, 'd') + "</description>"))
                .Description,
            AnsiString(985, 'd'));
}

TEST(FeedScanner, ImageAddressFromItunesImageOrImageUrl) {
  struct Case {
    const char* body;
    const char* image;
  } cases[] = {
      {"<itunes:image href=\"http://a.test/cover.jpg\"/><image><url>http://b.test/u.png</url></image>",
       "http://a.test/cover.jpg"},
      {"<itunes:image>http://a.test/text.jpg</itunes:image>", "http://a.test/text.jpg"},
      {"<image><title>t</title><url>http://b.test/u.png</url></image>", "http://b.test/u.png"},
      {"<itunes:image/>", ""},
      {"<title>none</title>", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Scan(Rss(c.body)).ImageUrl, c.image) << c.body;
}

TEST(FeedScanner, ItemValues) {
  const TFeedChannel c = Scan(Rss(
      "<title>Ch</title>"
      "<item><title><![CDATA[First <b>one</b>]]></title><link>http://x.test/1</link>"
      "<pubDate>Mon, 01 Jan 2024 10:00:00 GMT</pubDate>"
      "<description><![CDATA[<p>Notes</p>]]></description>"
      "<content:encoded><![CDATA[<p>Longer content</p>]]></content:encoded>"
      "<enclosure url='http://x.test/1.mp3' length=\"5\" type=\"audio/mpeg\"/></item>"
      "<item><title>Second</title><description>A description longer than it</description>"
      "<content:encoded>short</content:encoded>"
      "<enclosure length=\"5\" type=\"audio/mpeg\"/><media:content url=\"http://x.test/m.mp3\"/></item>"
      "<item><guid>no title, no link</guid></item>"));
  ASSERT_EQ(c.Items.size(), 3u);
  EXPECT_EQ(c.Items[0].Title, "First <b>one</b>");
  EXPECT_EQ(c.Items[0].Link, "http://x.test/1");
  EXPECT_EQ(c.Items[0].Date, "Mon, 01 Jan 2024 10:00:00 GMT");
  EXPECT_EQ(c.Items[0].Description, "<p>Notes</p>");
  EXPECT_EQ(c.Items[0].Content, "<p>Longer content</p>");
  EXPECT_EQ(c.Items[0].Body(), "<p>Longer content</p>");
  EXPECT_EQ(c.Items[0].Enclosure, "http://x.test/1.mp3");
  EXPECT_EQ(c.Items[1].Body(), "A description longer than it");
  // An enclosure without its own url attribute has no address.
  EXPECT_EQ(c.Items[1].Enclosure, "");
  EXPECT_EQ(c.Items[2].Title, "");
  EXPECT_EQ(c.Items[2].Link, "");
  EXPECT_EQ(c.Items[2].Date, "");
}

TEST(FeedScanner, AtMostEightItemsAndAnEmptyItemEndsTheScan) {
  AnsiString items;
  for (int i = 0; i < 10; ++i) items += "<item><title>" + std::to_string(i) + "</title></item>";
  const TFeedChannel ten = Scan(Rss(items));
  ASSERT_EQ(ten.Items.size(), 8u);
  EXPECT_EQ(ten.Items[7].Title, "7");

  EXPECT_EQ(Scan(Rss("<item><title>a</title></item><item></item><item><title>c</title></item>"))
                .Items.size(),
            1u);
  // An item cut off before its end tag is empty too.
  EXPECT_EQ(Scan(Rss("<item><title>a</title></item><item><title>cut")).Items.size(), 1u);
}

// Feeds written by other programs, read by us and by Python's XML parser.
std::map<std::string, std::string> PeerValues(const std::string& file) {
  int code = -1;
  const std::string out = larktest::RunCommand(
      {"/usr/bin/python3", LARK_TEST_DATA "/app/read_feed.py", file}, &code);
  EXPECT_EQ(code, 0) << out;
  std::map<std::string, std::string> values;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = Utf8ToAnsi(line.substr(eq + 1));
  }
  return values;
}

AnsiString ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return AnsiString(std::istreambuf_iterator<char>(in), {});
}

TEST(FeedScanner, FeedsOfOtherWritersReadAsPythonReadsThem) {
  for (const char* name : {"npm-rss.xml", "npm-podcast.xml", "npm-feed.xml", "hugo.xml"}) {
    SCOPED_TRACE(name);
    const std::string file = std::string(LARK_TEST_DATA "/app/feeds/") + name;
    auto peer = PeerValues(file);
    const TFeedChannel c = Scan(ReadFile(file));
    EXPECT_EQ(c.Title, peer["channel.title"]);
    EXPECT_EQ(c.Link, peer["channel.link"]);
    EXPECT_EQ(c.ImageUrl, peer["channel.image"]);
    ASSERT_EQ(c.Items.size(), 8u);
    for (size_t k = 0; k < c.Items.size(); ++k) {
      const std::string key = "item." + std::to_string(k) + ".";
      EXPECT_EQ(c.Items[k].Title, peer[key + "title"]) << k;
      EXPECT_EQ(c.Items[k].Link, peer[key + "link"]) << k;
      EXPECT_EQ(c.Items[k].Date, peer[key + "date"]) << k;
      EXPECT_EQ(c.Items[k].Enclosure, peer[key + "enclosure"]) << k;
    }
  }
  // hugo writes descriptions as escaped text: after the table they read as Python
  // reads them, the em dash and the accent in Windows-1252.
  auto peer = PeerValues(LARK_TEST_DATA "/app/feeds/hugo.xml");
  const TFeedChannel hugo = Scan(ReadFile(LARK_TEST_DATA "/app/feeds/hugo.xml"));
  EXPECT_EQ(hugo.Items[0].Description, peer["item.0.description"]);
  EXPECT_NE(hugo.Items[0].Description.find("\x97"), AnsiString::npos);
  EXPECT_EQ(hugo.Description, peer["channel.description"]);
}

}  // namespace
