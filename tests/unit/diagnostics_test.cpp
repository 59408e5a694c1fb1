// The two output paths' line formats, the debugger-break policy, bounded formatting, configuration
// variables and calls through references the host left unresolved.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/host_table.h"
#include "host_test_support.h"
#include "nexal/configuration.h"
#include "nexal/debugglobals.h"
#include "nexal/object.h"
#include "system.h"
#include "with_host.h"
#include "zor_host.h"
#include "zor_misc/memory/debugglobals.h"

namespace {

using namespace test_support;

// What the fakes saw and answer; set anew for every test.
struct Seen {
  std::vector<std::string> pieces;  // plug-in path: what the host's debug output received
  std::string coreOutput;           // core path: what the system interface's output received
  uint32_t hostMask = nexal::kInitialOutputMask;
  int maskQueries = 0;
  int breaks = 0;
  bool debugger = false;
  std::vector<NexalConfigEntry*> registered;
  std::vector<void*> releasedTexts;
} g;

class Diagnostics : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    g = Seen();
    UseDebugger(false);
    host_.general.debug_output = [](const char* text) { g.pieces.emplace_back(text); };
    system_.output = [](const char* line) { g.coreOutput += line; };
    system_.output_mask = [] { return ++g.maskQueries, g.hostMask; };
    system_.register_config = [](NexalConfigEntry* entries, int32_t count) {
      for (int32_t i = 0; i < count; ++i) g.registered.push_back(&entries[i]);
    };
    system_.release_text = [](void* text) { g.releasedTexts.push_back(text); };
    previous_system_ = nexal::Reference(nexal::Ref::System).resolved;
  }
  void TearDown() override {
    nexal::Reference(nexal::Ref::System).resolved = previous_system_;
    nexal::SetDiagnosticsEnvironment(nexal::SystemDiagnosticsEnvironment());
  }
  void UseDebugger(bool attached) {
    g.debugger = attached;
    // 01:01:01 in UTC
    nexal::SetDiagnosticsEnvironment(
        {[] { return g.debugger; }, []() -> std::time_t { return 3661; }, [] { ++g.breaks; }});
  }
  void ResolveSystem() { nexal::Reference(nexal::Ref::System).resolved = &system_; }
  // what the plug-in path, or the core path, wrote since the last call
  static std::string Taken() {
    std::string all;
    for (const auto& piece : g.pieces) all += piece;
    g.pieces.clear();
    return all;
  }
  static std::string TakenCore() { return std::exchange(g.coreOutput, {}); }

  test_support::PatchedHost host_;
  NexalSystemInterface system_{};
  const void* previous_system_ = nullptr;
};

}  // namespace

TEST_F(Diagnostics, PluginPathLineFormats) {
  DebugOutputLine(nexal::OUTPUT_WARNING, "low disk", 12, "/src/renderator/run.cpp");
  EXPECT_EQ(g.pieces, (std::vector<std::string>{"WARNING: ", "low disk", "\n"}));
  g.pieces.clear();
  DebugOutputLine(nexal::OUTPUT_CRITICALSTOP, "Stop", 42, "/src/renderator/run.cpp");
  EXPECT_EQ(Taken(), "CRITICAL: Stop [01:01:01 /src/renderator/run.cpp L42]\n");
  EXPECT_EQ(g.breaks, 0);
  DebugOutputLine(0x20000001, "scene 1", 0, "");
  DebugOutputLine(1, " done", 0, "");
  EXPECT_EQ(Taken(), "scene 1 done\n");

  // Warning and critical together read as a warning; no level at all writes nothing.
  DebugOutputLine(nexal::OUTPUT_WARNING | nexal::OUTPUT_CRITICAL, "x", 0, "");
  DebugOutputLine(nexal::OUTPUT_WITHLOCATION, "silent", 1, "f.cpp");
  EXPECT_EQ(Taken(), "WARNING: x\n");

  // A piece longer than the buffer is cut at 2047 bytes and still written.
  DebugOutputLine(1, std::string(3000, 'a').c_str(), 0, "");
  ASSERT_EQ(g.pieces.size(), 2u);
  EXPECT_EQ(g.pieces[0], std::string(2047, 'a'));

  // With a debugger attached a critical stop traps; the format does not change on this path.
  UseDebugger(true);
  g.pieces.clear();
  ZOR_STOP();
  EXPECT_EQ(g.breaks, 1);
  EXPECT_TRUE(Contains(Taken(), "CRITICAL: Stop [01:01:01 "));
  ZOR_ASSERT(g.breaks == 1);
  EXPECT_EQ(g.breaks, 1);
  ZOR_ASSERT(g.breaks == 0);
  EXPECT_EQ(g.breaks, 2);
  EXPECT_TRUE(Contains(Taken(), "CRITICAL: Assertion failed: g.breaks == 0 [01:01:01 "));
}

TEST_F(Diagnostics, CorePathLineFormatsWithAndWithoutDebugger) {
  ResolveSystem();
  // longer than any buffer: the module's texts reach the core path through its adapter
  const String plugin((std::string(3000, 'y') + "\xC3\xA9").c_str());
  CoreOutputText(nexal::OUTPUT_WARNING, plugin, 0, "");
  EXPECT_EQ(TakenCore(), "WARNING: " + std::string(3000, 'y') + "\xC3\xA9\n");
  nexal::CoreOutputString(nexal::OUTPUT_NORMAL, nullptr, 9, "/x/print.cpp");
  EXPECT_EQ(TakenCore(), "CRITICAL: Console output failed [print.cpp(9)]\n");
  nexal::CoreOutputLine(nexal::OUTPUT_CRITICALSTOP, "Stop", 42, "/work/src/nexal/url.cpp");
  EXPECT_EQ(TakenCore(), "CRITICAL: Stop [url.cpp(42)]\n");
  nexal::CoreOutputLine(nexal::OUTPUT_WARNING | nexal::OUTPUT_WITHLOCATION, "odd", 7, "C:\\src\\scan.cpp");
  EXPECT_EQ(TakenCore(), "WARNING: odd [scan.cpp(7)]\n");
  nexal::CoreOutputLine(nexal::OUTPUT_WARNING, "plain", 7, "/a/b.cpp");
  nexal::CoreOutputLine(0x20000001, "one ", 0, "");
  nexal::CoreOutputLine(1, "line", 0, "");
  EXPECT_EQ(TakenCore(), "WARNING: plain\none line\n");
  EXPECT_EQ(g.breaks, 0);

  UseDebugger(true);
  const int32_t stopLine = __LINE__ + 1;
  NEXAL_STOP();
  const std::string expected = std::string(__FILE__) + "(" + std::to_string(stopLine) + "): CRITICAL: Stop\n";
  EXPECT_EQ(g.coreOutput, expected);
  EXPECT_EQ(g.breaks, 1);

  // The core layer obeys g_enableDebugBreak.
  g_enableDebugBreak = false;
  NEXAL_STOP();
  g_enableDebugBreak = true;
  EXPECT_EQ(g.breaks, 1);
}

TEST_F(Diagnostics, CorePathMaskAndFallbackToStandardOutput) {
  // Unresolved: standard output, no host mask asked.
  EXPECT_EQ(StdoutOf([] { nexal::CoreOutputLine(nexal::OUTPUT_CRITICALSTOP, "early", 3, "dir/boot.cpp"); }),
            "CRITICAL: early [boot.cpp(3)]\n");
  EXPECT_EQ(g.maskQueries, 0);

  // The host's mask is asked while bit 29 is set; once it answers without it, never again.
  ResolveSystem();
  nexal::CoreOutputLine(1, "a", 0, "");
  nexal::CoreOutputLine(1, "b", 0, "");
  EXPECT_EQ(g.maskQueries, 2);
  g.hostMask = nexal::OUTPUT_NORMAL;
  nexal::CoreOutputLine(nexal::OUTPUT_WARNING, "hidden", 0, "");
  nexal::CoreOutputLine(1, "c", 0, "");
  EXPECT_EQ(g.maskQueries, 3);
  EXPECT_EQ(g.coreOutput, "a\nb\nc\n");
}

TEST_F(Diagnostics, FormatBoundedCutsAndCounts) {
  char buffer[8];
  EXPECT_EQ(FormatBounded(buffer, sizeof buffer, "%d-%s", 12, "ab"), 5);
  EXPECT_STREQ(buffer, "12-ab");
  EXPECT_EQ(FormatBounded(buffer, sizeof buffer, "%s", "1234567"), 7);
  EXPECT_EQ(FormatBounded(buffer, sizeof buffer, "%s", "12345678"), 7);
  EXPECT_STREQ(buffer, "1234567");
  buffer[0] = 'q';
  EXPECT_EQ(FormatBounded(buffer, 0, "%s", "x"), 0);
  EXPECT_EQ(buffer[0], 'q');
  EXPECT_EQ(FormatBounded(buffer, 1, "%s", "x"), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(Diagnostics, ConfigurationVariablesAndTheirComponent) {
  // The module's own variables are registered with their defaults.
  nexal::ConfigVariableTable& table = nexal::ConfigVariables();
  const NexalConfigEntry* debugBreak = nullptr;
  const NexalConfigEntry* parallelFor = nullptr;
  for (int32_t i = 0; i < table.Count(); ++i) {
    const std::string name = table.Entries()[i].name;
    if (name == "g_enableDebugBreak") debugBreak = &table.Entries()[i];
    if (name == "g_enableParallelFor") parallelFor = &table.Entries()[i];
  }
  ASSERT_NE(debugBreak, nullptr);
  ASSERT_NE(parallelFor, nullptr);
  EXPECT_EQ(debugBreak->type, 1);
  EXPECT_STREQ(debugBreak->help, "enable debug breaks (when debugger is attached)");
  EXPECT_STREQ(parallelFor->help, "enable parallel execution of all ParallelFor loops");
  EXPECT_EQ(debugBreak->storage, &g_enableDebugBreak);
  EXPECT_TRUE(g_enableParallelFor);

  // The 257th variable is not registered but still gets its default.
  nexal::ConfigVariableTable local;
  bool storage[257] = {};
  for (int i = 0; i < 257; ++i)
    EXPECT_TRUE(local.Register("v", &storage[i], true, nexal::CONFIG_BOOL, nullptr));
  EXPECT_EQ(local.Count(), 256);
  EXPECT_TRUE(storage[256]);
  EXPECT_EQ(local.Entries()[255].storage, &storage[255]);
  EXPECT_EQ(local.Entries()[0].state, 0);

  // Starting the component hands every entry to the host; ending it releases the texts it left.
  ResolveSystem();
  EXPECT_EQ(nexal::ModuleRecord().start_components(), 1);
  ASSERT_EQ(static_cast<int32_t>(g.registered.size()), table.Count());
  EXPECT_EQ(g.registered.front(), &table.Entries()[0]);
  NexalConfigEntry& entry = table.Entries()[0];
  entry.state = 3;
  nexal::ModuleRecord().end_components();
  EXPECT_EQ(g.releasedTexts, std::vector<void*>{entry.storage});
  EXPECT_EQ(entry.state, 0);
  nexal::ModuleRecord().end_components();
  EXPECT_EQ(g.releasedTexts.size(), 1u);
}

TEST_F(Diagnostics, CallsThroughUnresolvedReferencesFailCleanly) {
  static int32_t resolve_calls = 0;
  NexalReference& url = *nexal::FindReference("nexal.UrlInterface#1");
  ASSERT_EQ(url.resolved, nullptr);
  const NexalInitializer* previous = nexal::ModuleRecord().initializer;

  nexal::ModuleRecord().initializer = nullptr;
  std::string printed = StdoutOf([&] { EXPECT_EQ(nexal::ResolveForCall(url), nullptr); });
  EXPECT_TRUE(Contains(printed, "CRITICAL: Assertion failed: g_frameworksModule.GetInitializer() ["));
  EXPECT_TRUE(
      Contains(printed, "CRITICAL: Method invocation of unresolvable interface nexal.UrlInterface#1\n"));
  EXPECT_TRUE(Contains(printed, "CRITICAL: Stop ["));
  // With no system interface a core allocation fails instead of crashing.
  EXPECT_TRUE(Contains(StdoutOf([] { EXPECT_EQ(NEXAL_ALLOC(16), nullptr); }),
                       "unresolvable interface nexal.System#1"));

  const NexalInitializer refusing{[](NexalReference*) { return ++resolve_calls, 0; }};
  nexal::ModuleRecord().initializer = &refusing;
  printed = StdoutOf([&] { EXPECT_EQ(nexal::ResolveForCall(url), nullptr); });
  EXPECT_EQ(printed.find("Assertion failed"), std::string::npos);
  EXPECT_TRUE(Contains(printed, "unresolvable interface nexal.UrlInterface#1"));
  EXPECT_EQ(resolve_calls, 1);

  const NexalInitializer resolving{[](NexalReference* reference) {
    static const NexalSystemInterface stand_in{};
    reference->resolved = &stand_in;
    return ++resolve_calls, 1;
  }};
  nexal::ModuleRecord().initializer = &resolving;
  NexalReference& system = nexal::Reference(nexal::Ref::System);
  EXPECT_EQ(StdoutOf([&] { EXPECT_NE(nexal::ResolveForCall(system), nullptr); }), "");
  EXPECT_EQ(resolve_calls, 2);

  nexal::ModuleRecord().initializer = previous;
  EXPECT_EQ(nexal::FindReference("nexal.Nothing#1"), nullptr);
}
