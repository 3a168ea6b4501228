// Start-up reading of the subscriptions: a count and 10,000 numbered keys in one
// section of a 700 KB ini file, each read by itself through TIniFile, beside Python's
// configparser (Debian's /usr/bin/python3) reading the same file and the same keys.
// The file is older than the step of the file system's times, as at a real start.
// Then the listing of names: every section of a file of 20,000 sections and every key
// of a section of 10,000, through ReadSections and ReadSection of a new TIniFile,
// beside configparser's sections() and options() after reading the same file.
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
#include "platform/rtl/Lists.h"

namespace {

constexpr int kFeeds = 10000;
constexpr int kSections = 20000;
std::string gDir;
std::string gPath;
std::string gSectionsPath;
double gPeerSeconds = -1;
double gOurSeconds = 0;
double gPeerListSeconds = -1;
double gOurListSeconds = 0;
bool gFailed = false;

std::string FeedUrl(int i) { return "http://feeds.example.org/show-" + std::to_string(i) + "/podcast.xml"; }

void WriteIni() {
  std::ofstream out(gPath, std::ios::binary);
  out << "[General]\r\nVersion=3\r\nWindow=10,10,800,600\r\n\r\n[Subscriptions]\r\nCount=" << kFeeds << "\r\n";
  for (int i = 0; i < kFeeds; ++i) out << "Feed" << i << "=" << FeedUrl(i) << "\r\n";
  out << "\r\n[Titles]\r\n";
  for (int i = 0; i < kFeeds; ++i) out << "Feed" << i << "=Show number " << i << "\r\n";
}

// Sections "Show 0" .. "Show 19999" of one key each, then the subscriptions.
void WriteSectionsIni() {
  std::ofstream out(gSectionsPath, std::ios::binary);
  for (int i = 0; i < kSections; ++i) out << "[Show " << i << "]\r\nTitle=Show number " << i << "\r\n";
  out << "[Subscriptions]\r\n";
  for (int i = 0; i < kFeeds; ++i) out << "Feed" << i << "=" << FeedUrl(i) << "\r\n";
}

// configparser's best time of three for the same work (body, the loop's lines after
// reading the file), in seconds.
double RunPython(const std::string& name, const std::string& path, const std::string& body) {
  const std::string script = gDir + "/" + name + ".py";
  std::ofstream py(script);
  py << "import configparser, sys, time\n"
        "best = None\n"
        "for _ in range(3):\n"
        "    t = time.perf_counter()\n"
        "    p = configparser.ConfigParser(interpolation=None)\n"
        "    p.read(sys.argv[1], encoding='cp1252')\n"
     << body
     << "    t = time.perf_counter() - t\n"
        "    best = t if best is None else min(best, t)\n"
        "print(best)\n";
  py.close();
  std::string line;
  const bool ran = peertiming::FirstLineOf("/usr/bin/python3 " + script + " " + path, line);
  std::remove(script.c_str());
  return ran ? std::strtod(line.c_str(), nullptr) : -1;
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

void BM_ListNames(benchmark::State& state) {
  const auto run = [] {
    TIniFile ini(gSectionsPath);
    TStringList sections;
    ini.ReadSections(&sections);
    TStringList keys;
    ini.ReadSection("Subscriptions", &keys);
    return sections.GetCount() == kSections + 1 && keys.GetCount() == kFeeds;
  };
  double best = 0;
  if (!peertiming::TimeBest(state, run, "the names did not list", best)) {
    gFailed = true;
    return;
  }
  gOurListSeconds = best;
  if (gPeerListSeconds > 0) state.counters["ratio"] = gPeerListSeconds / best;
}

void PrintRow(const char* name, double ours, double theirs) {
  if (ours <= 0) return;
  if (theirs > 0)
    std::printf("%-24s %12.2f %18.2f %10.2f\n", name, ours * 1000, theirs * 1000, theirs / ours);
  else
    std::printf("%-24s %12.2f  configparser did not run\n", name, ours * 1000);
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench_inifile.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  gPath = gDir + "/larkspool.ini";
  gSectionsPath = gDir + "/sections.ini";
  WriteIni();
  WriteSectionsIni();
  gPeerSeconds = RunPython("read", gPath,
                           "    n = p.getint('Subscriptions', 'Count')\n"
                           "    urls = [p.get('Subscriptions', 'Feed%d' % i) for i in range(n)]\n"
                           "    assert len(urls) == " + std::to_string(kFeeds) + "\n");
  gPeerListSeconds = RunPython("list", gSectionsPath,
                               "    assert len(p.sections()) == " + std::to_string(kSections + 1) + "\n"
                               "    assert len(p.options('Subscriptions')) == " + std::to_string(kFeeds) + "\n");
  // Past the step of file times, a read costs a stat while the file is unchanged.
  sleep(3);

  benchmark::RegisterBenchmark("IniFile/ReadSubscriptions", BM_ReadSubscriptions)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  benchmark::RegisterBenchmark("IniFile/ListSectionsAndKeys", BM_ListNames)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;

  std::printf("\n%-24s %12s %18s %10s\n", "case", "ours ms", "configparser ms", "ratio");
  PrintRow("read 10,000 keys", gOurSeconds, gPeerSeconds);
  PrintRow("list 20,000 sections", gOurListSeconds, gPeerListSeconds);
  std::remove(gPath.c_str());
  std::remove(gSectionsPath.c_str());
  rmdir(gDir.c_str());
  return gFailed ? 1 : 0;
}
