// Feeds: scanning a 5 MB RSS 2.0 feed beside Python's xml.etree (Debian's
// /usr/bin/python3) parsing the same file and reading the same values, and
// subscribing that feed from a local nginx end to end (download, scan, pages, ini)
// beside Python fetching it with urllib and parsing it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/FeedScanner.h"
#include "app/Main.h"
#include "bench/peer_timing.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/SimHooks.h"
#include "platform/vcl/ComCtrls.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace {

constexpr size_t kFeedBytes = 5 * 1024 * 1024;
std::string gFeed;
std::string gFeedPath;
std::string gUrl;
std::string gProgramDir;
double gScanSeconds = 0, gEtreeSeconds = -1;
double gSubscribeSeconds = 0, gUrllibSeconds = -1;

// A podcast of about 5 MB: items with entities, UTF-8 text and enclosures.
std::string MakeFeed() {
  std::string feed =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
      "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" "
      "xmlns:content=\"http://purl.org/rss/1.0/modules/content/\">\n<channel>\n"
      "<title>Big show \xE2\x80\x94 caf\xC3\xA9 &amp; co</title>\n<link>http://example.test/</link>\n"
      "<description>A long feed.</description>\n<itunes:image href=\"http://example.test/c.jpg\"/>\n";
  for (int i = 0; feed.size() < kFeedBytes; ++i) {
    const std::string n = std::to_string(i);
    feed += "<item>\n<title>Episode " + n + " &#8211; \xE2\x80\x9Cquoted\xE2\x80\x9D na\xC3\xAFve</title>\n"
            "<link>http://example.test/e/" + n + "</link>\n<pubDate>Mon, 01 Jan 2024 10:00:00 GMT</pubDate>\n"
            "<description>&lt;p&gt;Notes of episode " + n + " with &amp;amp; and \xE2\x82\xAC 5, "
            "and a line that makes the item longer, as show notes are.&lt;/p&gt;</description>\n"
            "<content:encoded><![CDATA[<p>Content " + n + ": " + std::string(600, 'x') +
            "</p>]]></content:encoded>\n"
            "<enclosure url=\"http://example.test/a/" + n + ".mp3\" length=\"1\" type=\"audio/mpeg\"/>\n"
            "</item>\n";
  }
  return feed + "</channel>\n</rss>\n";
}

// Python's best time of three, in seconds; -1 when it did not run.
double RunPython(const std::string& body, const std::string& argument) {
  const std::string script = gProgramDir + "peer.py";
  std::ofstream(script) << "import sys, time, urllib.request, xml.etree.ElementTree as ET\n"
                           "def read(data):\n"
                           "    c = ET.fromstring(data).find('channel')\n"
                           "    v = [c.findtext('title'), c.findtext('link'), c.findtext('description')]\n"
                           "    for item in c.findall('item')[:8]:\n"
                           "        v += [item.findtext('title'), item.findtext('link'), item.findtext('pubDate'),\n"
                           "              item.findtext('description'), item.find('enclosure').get('url')]\n"
                           "    assert len(v) == 43\n"
                           "best = None\n"
                           "for _ in range(3):\n"
                           "    t = time.perf_counter()\n"
                        << body
                        << "    t = time.perf_counter() - t\n"
                           "    best = t if best is None else min(best, t)\n"
                           "print(best)\n";
  std::string line;
  if (!peertiming::FirstLineOf("/usr/bin/python3 " + script + " " + argument, line)) return -1;
  return std::strtod(line.c_str(), nullptr);
}

void BM_ScanFeed(benchmark::State& state) {
  const auto run = [] {
    TFeedChannel channel;
    return ScanFeed(gFeed, channel) && channel.Items.size() == kMaxFeedItems;
  };
  if (!peertiming::TimeBest(state, run, "the feed did not scan", gScanSeconds)) return;
  state.counters["MB/s"] = gFeed.size() / 1e6 / gScanSeconds;
  if (gEtreeSeconds > 0) state.counters["ratio"] = gEtreeSeconds / gScanSeconds;
}

void BM_SubscribeFromNginx(benchmark::State& state) {
  const auto run = [] {
    DeleteFile(TMn::IniFileName());
    auto mn = std::make_unique<TMn>(nullptr);
    mn->FetchFeed(kFetchSubscribe, gUrl);
    return larktest::PumpUntil([&] { return mn->FeedUrls->GetCount() == 1; }, 60000) &&
           FileExists(TMn::IniFileName());
  };
  if (!peertiming::TimeBest(state, run, "the feed was not subscribed", gSubscribeSeconds)) return;
  if (gUrllibSeconds > 0) state.counters["ratio"] = gUrllibSeconds / gSubscribeSeconds;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  larktest::TempDir dir;
  gProgramDir = dir.Path();
  sim::SetProgramPath(gProgramDir + "Larkspool");
  larktest::NginxServer nginx;
  gFeed = MakeFeed();
  if (!nginx.Start() || nginx.WriteFile("big.xml", gFeed).empty()) {
    std::fprintf(stderr, "nginx could not serve the feed (scripts/install-deps installs it)\n");
    return 1;
  }
  gUrl = nginx.Url("/big.xml");
  gFeedPath = nginx.Root() + "big.xml";
  gEtreeSeconds = RunPython("    read(open(sys.argv[1], 'rb').read())\n", gFeedPath);
  gUrllibSeconds = RunPython("    read(urllib.request.urlopen(sys.argv[1]).read())\n", gUrl);

  benchmark::RegisterBenchmark("Feed/Scan5MB", BM_ScanFeed)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
  benchmark::RegisterBenchmark("Feed/SubscribeFromNginx", BM_SubscribeFromNginx)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\n%-28s %10s %10s %8s\n", "case", "ours ms", "peer ms", "ratio");
  if (gScanSeconds > 0)
    std::printf("%-28s %10.1f %10.1f %8.2f  (peer: xml.etree)\n", "scan a 5 MB feed", gScanSeconds * 1e3,
                gEtreeSeconds * 1e3, gEtreeSeconds > 0 ? gEtreeSeconds / gScanSeconds : 0.0);
  if (gSubscribeSeconds > 0)
    std::printf("%-28s %10.1f %10.1f %8.2f  (peer: urllib + xml.etree)\n", "subscribe it from nginx",
                gSubscribeSeconds * 1e3, gUrllibSeconds * 1e3,
                gUrllibSeconds > 0 ? gUrllibSeconds / gSubscribeSeconds : 0.0);
  sim::SetProgramPath("");
  return 0;
}
