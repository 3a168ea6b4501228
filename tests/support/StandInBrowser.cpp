#include "tests/support/StandInBrowser.h"

#include <gtest/gtest.h>

#include <fstream>

namespace larktest {

bool StandInBrowser::Start(const std::string& programPath, const std::string& folder, const std::string& service,
                           const std::vector<std::string>& script, const std::vector<std::string>& extraArgs) {
  const std::string scriptPath = scriptDir_.Path() + "script";
  {
    std::ofstream out(scriptPath);
    for (const std::string& line : script) out << line << "\n";
  }
  std::vector<std::string> argv = {programPath, "--folder", folder, "--service", service, "--script", scriptPath};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  if (!process_.Start(argv)) return false;
  if (!process_.WaitForOutput("listening")) {
    ADD_FAILURE() << "the stand-in browser did not start: " << process_.Log();
    return false;
  }
  return true;
}

}  // namespace larktest
