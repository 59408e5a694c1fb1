// The scan of the host's command line: which arguments it consumes, what it prints and which batch
// actions it starts, for the argument lists a build machine or a careless user would pass.
#include "commandline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/host_table.h"
#include "unit/with_host.h"
#include "zor_filename.h"
#include "zor_host.h"
#include "zor_string.h"

namespace {

struct Scan {
  std::vector<std::string> printed;
  std::vector<std::pair<std::string, std::string>> runs;
  int distributions = 0;
  std::vector<std::string> left;  // the arguments still there for the host; "" where consumed
};

Scan RunScan(std::vector<const char*> args) {
  test_support::WithHost host(test_support::RealHostTable());
  Scan scan;
  CommandLineActions actions;
  actions.print = [&](const String& line) { scan.printed.push_back(line.ToUtf8()); };
  actions.renderator = [&](const Filename& scene, const Filename& reference) {
    scan.runs.emplace_back(scene.GetString().ToUtf8(), reference.GetString().ToUtf8());
  };
  actions.distribution = [&] { ++scan.distributions; };
  std::vector<char*> argv;
  for (const char* a : args) argv.push_back(const_cast<char*>(a));
  HostArguments arguments{int32_t(argv.size()), argv.data()};
  EXPECT_FALSE(ScanCommandLine(&arguments, actions));
  for (char* a : argv) scan.left.push_back(a ? a : "");
  return scan;
}

const std::vector<std::string> kUsage = {
    "Renderator Options:", "-renderator scenepath [refpath] ... specify the directory to render", ""};
using Runs = std::vector<std::pair<std::string, std::string>>;
using Args = std::vector<std::string>;

TEST(CommandLineScan, RenderatorOptionTakesSceneAndReferencePaths) {
  Scan s = RunScan({"zorhost", "-renderator", "a", "b", "-help"});
  EXPECT_EQ(s.runs, (Runs{{"a", "b"}}));
  EXPECT_TRUE(s.printed.empty());  // the scan ended with the reference path
  EXPECT_EQ(s.left, (Args{"zorhost", "", "", "", "-help"}));

  // an option after the scene path is no reference path: it stays for the host, unexamined
  s = RunScan({"-renderator", "a", "-help"});
  EXPECT_EQ(s.runs, (Runs{{"a", ""}}));
  EXPECT_TRUE(s.printed.empty());
  EXPECT_EQ(s.left, (Args{"", "", "-help"}));

  s = RunScan({"-renderator", "a", "-renderator", "b"});
  EXPECT_EQ(s.runs, (Runs{{"a", ""}}));
  EXPECT_EQ(s.left, (Args{"", "", "-renderator", "b"}));

  // options are compared whole and case-sensitively
  s = RunScan({"-Renderator", "a", "-renderatorx", "b", "-HELP"});
  EXPECT_TRUE(s.runs.empty());
  EXPECT_TRUE(s.printed.empty());
}

TEST(CommandLineScan, HelpMissingParameterAndDistribution) {
  Scan s = RunScan({"-help", "-renderator", "a"});
  EXPECT_EQ(s.printed, kUsage);
  EXPECT_EQ(s.runs, (Runs{{"a", ""}}));
  EXPECT_EQ(s.left, (Args{"-help", "", ""}));

  s = RunScan({"--help", "x", "--help"});
  EXPECT_EQ(s.printed.size(), 2 * kUsage.size());
  EXPECT_EQ(s.left, (Args{"--help", "x", "--help"}));

  s = RunScan({"-help", "-renderator"});
  Args usageThenMissing = kUsage;
  usageThenMissing.push_back("missing parameter for -renderator");
  EXPECT_EQ(s.printed, usageThenMissing);
  EXPECT_TRUE(s.runs.empty());
  EXPECT_EQ(s.left, (Args{"-help", ""}));

  // the argument right after -createdistribution is not examined
  s = RunScan({"-createdistribution", "-help", "-help"});
  EXPECT_EQ(s.distributions, 1);
  EXPECT_EQ(s.printed, kUsage);
  EXPECT_EQ(s.left, (Args{"", "-help", "-help"}));
}

TEST(CommandLineScan, ArgumentsConsumedByAnotherModule) {
  // the scene path was taken already: no run, and the null reference position is passed over
  Scan s = RunScan({nullptr, "-renderator", nullptr, nullptr, "c"});
  EXPECT_TRUE(s.runs.empty());
  EXPECT_EQ(s.left, (Args{"", "", "", "", "c"}));
  CommandLineActions none;
  EXPECT_FALSE(ScanCommandLine(nullptr, none));

  // a consumed scene path is an empty one, even when an earlier option had set one
  s = RunScan({"-renderator", "a", "-x", "-renderator", nullptr, "-help"});
  EXPECT_TRUE(s.runs.empty());
  EXPECT_EQ(s.left, (Args{"", "", "-x", "", "", "-help"}));
}

}  // namespace
