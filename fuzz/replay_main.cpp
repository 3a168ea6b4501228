// Replays a fuzz target's corpus without libFuzzer: the target's entry point runs once
// on each file named on the command line (for a folder, each file in it, in name
// order), in a buffer of exactly the file's size. The normal build runs it under CTest
// for every target, so a target that no longer builds or a seed that now breaks an
// invariant (an abort) or trips a sanitizer fails `make test`.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool Collect(const fs::path& path, std::vector<fs::path>& files) {
  std::error_code ec;
  if (fs::is_regular_file(path, ec)) {
    files.push_back(path);
    return true;
  }
  if (!fs::is_directory(path, ec)) return false;
  std::vector<fs::path> inside;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file()) inside.push_back(it->path());
  if (ec) return false;
  std::sort(inside.begin(), inside.end());
  files.insert(files.end(), inside.begin(), inside.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!Collect(argv[i], files)) {
      std::fprintf(stderr, "replay: cannot read %s\n", argv[i]);
      return 2;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "replay: no input files\n");
    return 2;
  }
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
      return 2;
    }
    // Exactly the input's size, so the sanitizer reports a read past its end.
    const auto data = std::make_unique<uint8_t[]>(bytes.size() + (bytes.empty() ? 1 : 0));
    std::copy(bytes.begin(), bytes.end(), data.get());
    std::printf("replay %s (%zu bytes)\n", file.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(data.get(), bytes.size());
  }
  std::printf("replayed %zu inputs\n", files.size());
  return 0;
}
