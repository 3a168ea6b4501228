// Start-up reading of the subscriptions: a count and 10,000 numbered keys in one
// section of a 700 KB ini file, each read by itself through TIniFile, beside Python's
// configparser (Debian's /usr/bin/python3) reading the same file and the same keys.
// The file is older than the step of the file system's times, as at a real start.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "bench/peer_timing.h"
#include "platform/rtl/IniFile.h"

namespace {

constexpr int kFeeds = 10000;
std::string gDir;
std::string gPath;
double gPeerSeconds = -1;
double gOurSeconds = 0;
bool gFailed = false;

std::string FeedUrl(int i) { return "http://feeds.example.org/show-" + std::to_string(i) + "/podcast.xml"; }

void WriteIni() {
  std::ofstream out(gPath, std::ios::binary);
  out << "[General]\r\nVersion=3\r\nWindow=10,10,800,600\r\n\r\n[Subscriptions]\r\nCount=" << kFeeds << "\r\n";
  for (int i = 0; i < kFeeds; ++i) out << "Feed" << i << "=" << FeedUrl(i) << "\r\n";
  out << "\r\n[Titles]\r\n";
  for (int i = 0; i < kFeeds; ++i) out << "Feed" << i << "=Show number " << i << "\r\n";
}

// configparser's best time of three for the same reads, in seconds.
double RunPython() {
  const std::string script = gDir + "/read.py";
  std::ofstream py(script);
  py << "import configparser, sys, time\n"
        "best = None\n"
        "for _ in range(3):\n"
        "    t = time.perf_counter()\n"
        "    p = configparser.ConfigParser(interpolation=None)\n"
        "    p.read(sys.argv[1], encoding='cp1252')\n"
        "    n = p.getint('Subscriptions', 'Count')\n"
        "    urls = [p.get('Subscriptions', 'Feed%d' % i) for i in range(n)]\n"
        "    t = time.perf_counter() - t\n"
        "    assert len(urls) == " << kFeeds << "\n"
        "    best = t if best is None else min(best, t)\n"
        "print(best)\n";
  py.close();
  std::string line;
  if (!peertiming::FirstLineOf("/usr/bin/python3 " + script + " " + gPath, line)) return -1;
  return std::strtod(line.c_str(), nullptr);
}

void BM_ReadSubscriptions(benchmark::State& state) {
  const auto run = [] {
    TIniFile ini(gPath);
    const Integer count = ini.ReadInteger("Subscriptions", "Count", 0);
    if (count != kFeeds) return false;
    for (Integer i = 0; i < count; ++i) {
      if (ini.ReadString("Subscriptions", "Feed" + std::to_string(i), "").empty()) return false;
    }
    return true;
  };
  double best = 0;
  if (!peertiming::TimeBest(state, run, "a subscription did not read", best)) {
    gFailed = true;
    return;
  }
  gOurSeconds = best;
  state.counters["keys/s"] = kFeeds / best;
  if (gPeerSeconds > 0) {
    state.counters["configparser_keys/s"] = kFeeds / gPeerSeconds;
    state.counters["ratio"] = gPeerSeconds / best;
  }
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench_inifile.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  gPath = gDir + "/larkspool.ini";
  WriteIni();
  gPeerSeconds = RunPython();
  // Past the step of file times, a read costs a stat while the file is unchanged.
  sleep(3);

  benchmark::RegisterBenchmark("IniFile/ReadSubscriptions", BM_ReadSubscriptions)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;

  if (gOurSeconds > 0) {
    std::printf("\n%-20s %14s %18s %10s\n", "case", "ours keys/s", "configparser keys/s", "ratio");
    if (gPeerSeconds > 0)
      std::printf("%-20s %14.0f %18.0f %10.2f\n", "read 10,000 keys", kFeeds / gOurSeconds, kFeeds / gPeerSeconds,
                  gPeerSeconds / gOurSeconds);
    else
      std::printf("%-20s %14.0f  configparser did not run\n", "read 10,000 keys", kFeeds / gOurSeconds);
  }
  std::remove(gPath.c_str());
  std::remove((gDir + "/read.py").c_str());
  rmdir(gDir.c_str());
  return gFailed ? 1 : 0;
}
