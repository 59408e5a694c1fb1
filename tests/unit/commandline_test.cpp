// The scan of the host's command line: which arguments it consumes, what it prints and which batch
// actions it starts, for the argument lists a build machine or a careless user would pass.
#include "commandline.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
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
  std::string runs;  // "scene,reference" for each run
  int distributions = 0;
  std::string left;  // the arguments still there for the host, "_" where consumed
};

// Scans the blank-separated arguments; "_" is one that another module took already.
Scan RunScan(const std::string& line) {
  test_support::WithHost host(test_support::RealHostTable());
  Scan scan;
  CommandLineActions actions;
  actions.print = [&](const String& text) { scan.printed.push_back(text.ToUtf8()); };
  actions.renderator = [&](const Filename& scene, const Filename& reference) {
    scan.runs += scene.GetString().ToUtf8() + "," + reference.GetString().ToUtf8();
  };
  actions.distribution = [&] { ++scan.distributions; };
  std::istringstream split(line);
  std::vector<std::string> words{std::istream_iterator<std::string>(split), {}};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word == "_" ? nullptr : word.data());
  HostArguments arguments{int32_t(argv.size()), argv.data()};
  EXPECT_FALSE(ScanCommandLine(&arguments, actions));
  for (char* a : argv) scan.left += (scan.left.empty() ? "" : " ") + std::string(a ? a : "_");
  return scan;
}

const std::vector<std::string> kUsage = {
    "Renderator Options:", "-renderator scenepath [refpath] ... specify the directory to render", ""};

TEST(CommandLineScan, WhatEachArgumentListRunsPrintsAndLeavesForTheHost) {
  const struct {
    const char* args;
    const char* runs;
    int usages;    // how often the usage is printed
    bool missing;  // and then "missing parameter for -renderator"
    const char* left;
    int distributions = 0;
  } cases[] = {
      // the scan ends with the reference path
      {"zorhost -renderator a b -help", "a,b", 0, false, "zorhost _ _ _ -help"},
      // an option after the scene path is no reference path: it stays for the host, unexamined
      {"-renderator a -help", "a,", 0, false, "_ _ -help"},
      {"-renderator a -renderator b", "a,", 0, false, "_ _ -renderator b"},
      // options are compared whole and case-sensitively
      {"-Renderator a -renderatorx b -HELP", "", 0, false, "-Renderator a -renderatorx b -HELP"},
      {"-help -renderator a", "a,", 1, false, "-help _ _"},
      {"--help x --help", "", 2, false, "--help x --help"},
      {"-help -renderator", "", 1, true, "-help _"},
      // the argument right after -createdistribution is not examined
      {"-createdistribution -help -help", "", 1, false, "_ -help -help", 1},
      // the scene path was taken already: no run, and the taken reference position is passed over
      {"_ -renderator _ _ c", "", 0, false, "_ _ _ _ c"},
      // a taken scene path is an empty one, even when an earlier option had set one
      {"-renderator a -x -renderator _ -help", "", 0, false, "_ _ -x _ _ -help"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Scan s = RunScan(c.args);
    std::vector<std::string> printed;
    for (int i = 0; i < c.usages; ++i) printed.insert(printed.end(), kUsage.begin(), kUsage.end());
    if (c.missing) printed.push_back("missing parameter for -renderator");
    EXPECT_EQ(s.printed, printed);
    EXPECT_EQ(s.runs, c.runs);
    EXPECT_EQ(s.left, c.left);
    EXPECT_EQ(s.distributions, c.distributions);
  }
  CommandLineActions none;
  EXPECT_FALSE(ScanCommandLine(nullptr, none));
}

}  // namespace
