// Script files as a user leaves them in the prefs folder: one broken file is named on stderr with its
// place and skipped, and the scripts of every other file are still there for the module's commands.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/run_folders.h"
#include "e2e/text_files.h"

namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class ScriptFiles : public e2e::RunFoldersTest {
 protected:
  ScriptFiles() : RunFoldersTest("script_files_e2e_") {}
};

}  // namespace

TEST_F(ScriptFiles, ABrokenScriptFileIsNamedAndTheOthersStillExport) {
  const fs::path scripts = root_ / "prefs" / "scripts";
  fs::create_directories(scripts);
  std::ofstream(scripts / "good.csc")
      << R"({"identifier": "Good", "container": {"87379": {"1": "Gut \u00e9"}}})";
  std::ofstream(scripts / "broken.csc") << "{\"identifier\": \"Broken\",\n \"container\": {\"87379\": }}";
  std::ofstream(scripts / "unknown.CSC") << R"({"identifier": "Unknown", "contianer": {}})";
  const fs::path out = root_ / "out";
  fs::create_directories(out);
  std::ofstream(root_ / "ui.json") << "[{\"folder\": \"" + out.string() + "\"}]";

  const std::string line =
      std::string("'") + ZORHOST_PATH + "' --prefs '" + (root_ / "prefs").string() + "' --startup '" +
      (root_ / "startup").string() + "' --module '" + RELKIT_MODULE_PATH +
      "' --set g_nexalRelkitTools=true --ui '" + (root_ / "ui.json").string() +
      "' --command 'Export Script Strings' >/dev/null 2>'" + (root_ / "err.txt").string() + "'";
  const int status = std::system(line.c_str());
  const std::string err = e2e::ReadFile(root_ / "err.txt");
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << err;
  EXPECT_TRUE(contains(
      err, "zorhost: warning: script file " + (scripts / "broken.csc").string() + ": line 2, column 25: "))
      << err;
  EXPECT_TRUE(contains(err, "unknown.CSC: unknown field \"contianer\"")) << err;
  EXPECT_EQ(e2e::ReadFile(out / "script_US.TXT"), "Name:\"Good\" \"Gut \\u00E9\"\n");
}
