#include "tests/support/MediaFiles.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/Peers.h"

namespace larktest {

namespace {

void Run(const std::vector<std::string>& argv) {
  int code = -1;
  const std::string out = RunCommand(argv, &code);
  EXPECT_EQ(code, 0) << argv[0] << " failed: " << out;
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  std::string out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

void MakeToneWav(const std::string& path, const std::string& seconds, const std::string& rate) {
  Run({RequireProgram("sox"), "-n", "-r", rate, "-c", "1", "-b", "16", path, "synth", seconds, "sine", "440"});
}

void MakeMp3(const std::string& wav, const std::string& mp3) { Run({RequireProgram("lame"), "--quiet", wav, mp3}); }

void MakeJpeg(const std::string& path, const std::string& size, bool noisy) {
  Run({RequireProgram("convert-im6.q16"), "-seed", "7", "-size", size, noisy ? "plasma:fractal" : "gradient:red-blue",
       "-quality", "95", path});
}

std::string TagMp3(const std::string& mp3, const std::string& path, const std::vector<std::string>& options) {
  std::vector<std::string> argv = {"/usr/bin/python3", std::string(LARK_SUPPORT_DATA) + "/id3/tag_mp3.py", mp3, path};
  argv.insert(argv.end(), options.begin(), options.end());
  Run(argv);
  return ReadFileBytes(path);
}

}  // namespace larktest
