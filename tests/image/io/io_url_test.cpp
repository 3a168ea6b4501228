// Loading from a web address, against nginx, tinyproxy and the canned server on
// 127.0.0.1.
#include <atomic>
#include <thread>

#include "platform/sim/Clock.h"
#include "platform/wininet/WinInet.h"
#include "tests/image/io_test_util.h"
#include "tests/support/CannedServer.h"
#include "tests/support/HttpPeers.h"

namespace {

using io_test::CountingIO;
using io_test::IOTest;
using io_test::Pixels;
using larktest::CannedServer;
using larktest::NginxServer;

// The bytes of a pattern image saved in a format.
std::string ImageBytes(Integer type, Integer w, Integer h) {
  TDadirAvIO io(nullptr);
  codec_test::Pattern(*io.GetIEBitmap(), w, h);
  TMemoryStream s;
  io.SaveToStream(&s, type);
  std::vector<Byte> b = codec_test::Contents(s);
  return std::string(b.begin(), b.end());
}

// A case text for the canned server: the bytes as escapes.
std::string Escaped(const std::string& bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += "\\x";
    out += hex[c >> 4];
    out += hex[c & 15];
  }
  return out;
}

class IOURLTest : public IOTest {
 protected:
  // Starts with a 5 x 4 image whose pixels a failed load must leave alone.
  void SetUp() override {
    IOTest::SetUp();
    codec_test::Pattern(*c.io.GetIEBitmap(), 5, 4);
    before = Pixels(*c.io.GetIEBitmap());
  }
  void ExpectFailedAndUntouched(const std::string& what) {
    EXPECT_TRUE(c.io.GetAborting()) << what;
    EXPECT_EQ(Pixels(*c.io.GetIEBitmap()), before) << what;
  }
  CountingIO c;
  std::vector<Byte> before;
};

TEST_F(IOURLTest, LoadsFromNginxDirectlyThroughRedirectionsAndByFileName) {
  NginxServer nginx;
  ASSERT_TRUE(nginx.Start("location = /old.png { return 301 /img/a.png; }\n"
                          "location = /hop { return 302 /old.png; }\n"
                          "location = / { return 302 /img/a.png; }\n"));
  nginx.WriteFile("img/a.png", ImageBytes(iofnPNG, 300, 200));  // more than one read of 65536
  nginx.WriteFile("img/b.jpg", ImageBytes(iofnJPEG, 64, 48));
  nginx.WriteFile("img/c.gif", ImageBytes(iofnGIF, 20, 10));
  nginx.WriteFile("img/d.bmp", ImageBytes(iofnBMP, 7, 9));
  std::string port = std::to_string(nginx.Port());
  struct Case {
    std::string url;
    Integer width, type;
  } cases[] = {
      {nginx.Url("/img/a.png"), 300, iofnPNG},
      {nginx.Url("/img/b.jpg"), 64, iofnJPEG},
      {nginx.Url("/img/c.gif"), 20, iofnGIF},
      {nginx.Url("/img/d.bmp?x=1"), 7, iofnBMP},
      {nginx.Url("/hop"), 300, iofnPNG},
      {"http://127.0.0.1:" + port, 300, iofnPNG},  // no path asks for "/"
      {"HTTP://127.0.0.1:" + port + "/img/b.jpg", 64, iofnJPEG},
  };
  for (const Case& k : cases) {
    int finishes = c.Finishes();
    c.io.LoadFromURL(k.url);
    EXPECT_FALSE(c.io.GetAborting()) << k.url;
    EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), k.width) << k.url;
    EXPECT_EQ(c.io.GetParams()->FileType, k.type) << k.url;
    EXPECT_EQ(c.Finishes(), finishes + 1) << k.url;
  }
  // LoadFromFile sends "http://" names (in any case) to the web load.
  c.io.LoadFromFile("HTTP://127.0.0.1:" + port + "/img/d.bmp");
  EXPECT_FALSE(c.io.GetAborting());
  EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), 7);
  EXPECT_NE(nginx.AccessLog().find("\"GET / HTTP/1.1\""), std::string::npos);

  // The channel image's road: from its address, saved as a BMP, read back.
  c.io.LoadFromURL(nginx.Url("/img/a.png"));
  ASSERT_FALSE(c.io.GetAborting());
  c.io.SaveToFile(Dir() + "feed1.bmp");
  ASSERT_FALSE(c.io.GetAborting());
  CountingIO back;
  back.io.LoadFromFile(Dir() + "feed1.bmp");
  EXPECT_FALSE(back.io.GetAborting());
  EXPECT_EQ(Pixels(*back.io.GetIEBitmap()), Pixels(*c.io.GetIEBitmap()));
}

TEST_F(IOURLTest, BadAnswersAndBadAddressesFailAndLeaveTheImage) {
  NginxServer nginx;
  ASSERT_TRUE(nginx.Start("error_page 404 /placeholder.png;\n"
                          "location = /big { return 302 /big.bin; }\n"));
  // A placeholder image served with status 404 is still an error.
  nginx.WriteFile("placeholder.png", ImageBytes(iofnPNG, 3, 3));
  nginx.WriteFile("page.html", "<html><body>not an image</body></html>");
  nginx.AddPatternFile("big.bin", static_cast<uint64_t>(IEMaxURLBytes) + 1);
  std::string port = std::to_string(nginx.Port());
  std::string refused = "http://127.0.0.1:" + std::to_string(larktest::FreeTcpPort()) + "/a.png";
  for (const std::string& url : std::vector<std::string>{
           nginx.Url("/missing.png"),
           nginx.Url("/page.html"),
           nginx.Url("/big"),
           refused,
           "http://127.0.0.1:70000/a.png",
           "http://127.0.0.1:0/a.png",
           nginx.Url("/a b.png"),
           nginx.Url("/a.png\r\nX-Injected: 1"),
           "http://127.0.0.1:" + port + "\r\n/a.png",
           "ftp://127.0.0.1/a.png",
           "https://127.0.0.1/a.png",
           "",
       }) {
    int finishes = c.Finishes();
    c.io.SetAborting(false);
    c.io.LoadFromURL(url);
    ExpectFailedAndUntouched(url);
    EXPECT_EQ(c.Finishes(), finishes + 1) << url;
  }
  // Nothing with a blank or a line break reached the server.
  EXPECT_EQ(nginx.AccessLog().find("X-Injected"), std::string::npos);
  EXPECT_EQ(nginx.AccessLog().find("a b"), std::string::npos);
}

TEST_F(IOURLTest, ChunkedBodiesAndConnectionsCutMidBody) {
  std::string bmp = ImageBytes(iofnBMP, 30, 20);
  std::string half = bmp.substr(0, bmp.size() / 2);
  struct Case {
    std::string text;
    bool ok;
  } cases[] = {
      {"--- connection\n>>> expect\n<<< send\nHTTP/1.1 200 OK\\r\\nTransfer-Encoding: chunked\\r\\n\\r\\n\n" +
           [&] {
             std::string chunks;
             for (size_t at = 0; at < bmp.size(); at += 500) {
               std::string piece = bmp.substr(at, 500);
               char size[16];
               std::snprintf(size, sizeof size, "%zx", piece.size());
               chunks += std::string(size) + "\\r\\n" + Escaped(piece) + "\\r\\n\n";
             }
             return chunks + "0\\r\\n\\r\\n\n=== close\n";
           }(),
       true},
      {"--- connection\n>>> expect\n<<< send\nHTTP/1.1 200 OK\\r\\nContent-Length: " + std::to_string(bmp.size()) +
           "\\r\\n\\r\\n\n" + Escaped(half) + "\n=== reset\n",
       false},
  };
  for (const Case& k : cases) {
    CannedServer server;
    ASSERT_EQ(server.LoadCaseText(k.text), "");
    ASSERT_TRUE(server.Start());
    c.io.LoadFromURL(server.Url("/img.bmp"));
    if (k.ok) {
      EXPECT_FALSE(c.io.GetAborting());
      EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), 30);
      codec_test::Pattern(*c.io.GetIEBitmap(), 5, 4);
    } else {
      ExpectFailedAndUntouched("cut mid-body");
    }
    server.Stop();
  }
}

TEST_F(IOURLTest, ThroughTinyproxyWithAndWithoutCredentials) {
  NginxServer nginx;
  ASSERT_TRUE(nginx.Start());
  nginx.WriteFile("p.bmp", ImageBytes(iofnBMP, 11, 6));
  {
    larktest::TinyproxyServer proxy;
    ASSERT_TRUE(proxy.Start());
    c.io.ProxyAddress = proxy.HostPort();
    c.io.LoadFromURL(nginx.Url("/p.bmp"));
    EXPECT_FALSE(c.io.GetAborting());
    EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), 11);
    ASSERT_FALSE(proxy.RequestLines().empty());
    EXPECT_NE(proxy.RequestLines()[0].find(nginx.Url("/p.bmp")), std::string::npos);
  }
  {
    larktest::TinyproxyServer proxy;
    ASSERT_TRUE(proxy.Start("feeder", "s3cret"));
    c.io.ProxyAddress = proxy.HostPort();
    c.io.ProxyUser = "feeder";
    c.io.ProxyPassword = "wrong";
    codec_test::Pattern(*c.io.GetIEBitmap(), 5, 4);
    c.io.LoadFromURL(nginx.Url("/p.bmp"));
    ExpectFailedAndUntouched("wrong proxy password");
    c.io.ProxyPassword = "s3cret";
    c.io.LoadFromURL(nginx.Url("/p.bmp"));
    EXPECT_FALSE(c.io.GetAborting());
    EXPECT_EQ(c.io.GetIEBitmap()->GetWidth(), 11);
  }
}

// A server that never answers: the load gives up once the limit has passed on the
// platform's clock, here a virtual one the test moves on.
TEST_F(IOURLTest, ServerThatNeverAnswersEndsWithinTheLimit) {
  CannedServer server;
  ASSERT_EQ(server.LoadCaseText("--- connection\n>>> expect\n"), "");
  ASSERT_TRUE(server.Start());
  sim::UseVirtualClock(1000);
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    c.io.LoadFromURL(server.Url("/slow.png"));
    finished = true;
  });
  while (server.Requests().empty()) std::this_thread::yield();
  while (!finished) {
    sim::AdvanceClock(1000);
    std::this_thread::yield();
  }
  worker.join();
  sim::UseRealClock();
  ExpectFailedAndUntouched("silent server");
  EXPECT_EQ(c.Finishes(), 1);
  server.Stop();
}

}  // namespace
