// relkit-crashcheck's reading of crash reports and its XML text, on reports written by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crash_report.h"
#include "host_test_support.h"
#include "outputs.h"
#include "tool_text.h"

namespace {

using test_support::Contains;

using crashcheck::ParseCrashReport;

std::string NoName(const std::string&, const std::string&) {
  return "";
}

// the offsets it was asked about, named "fn@OFFSET"
std::string ByOffset(const std::string&, const std::string& offset) {
  return "fn@" + offset;
}

const std::string kHeader =
    "zorhost crash report\nsignal: 11 (SIGSEGV)\naddress: 0x0\ncode address: 0x5510\n"
    "module: /bin/zorhost + 0x510\nthread: render worker\nactivity: rendering /s/a b.zor\nbacktrace:\n";

TEST(CrashcheckSignature, FramesStartAtTheFaultAndKeepOnlyHostAndModuleCode) {
  const struct {
    const char* what;
    std::string backtrace;
    crashcheck::Symbolizer symbolize;
    std::vector<std::string> frames;
  } cases[] = {
      {"the handler and the trampoline are left out; libc between is passed over; at most three",
       "/bin/zorhost(+0x100)[0x5100]\n/lib/libc.so.6(+0x3c050)[0x7f00]\n/bin/zorhost(+0x510)[0x5510]\n"
       "/lib/libc.so.6(+0x1)[0x7f01]\n/p/relkit.zdl64(_ZN2ns4workEv+0x12)[0x7e12]\n"
       "/bin/zorhost(+0x700)[0x5700]\n/bin/zorhost(+0x800)[0x5800]\n",
       NoName,
       {"zorhost+0x510", "ns::work()", "zorhost+0x700"}},
      {"without the code address among the frames: after the trampoline",
       "/bin/zorhost(+0x100)[0x5100]\n/lib/libc.so.6(+0x3c050)[0x7f00]\n/bin/zorhost(+0x520)[0x5520]\n",
       NoName,
       {"zorhost+0x520"}},
      {"callers are named at the byte before their return address",
       "/bin/zorhost(+0x100)[0x5100]\n/lib/libc.so.6(+0x3c050)[0x7f00]\n/bin/zorhost(+0x510)[0x5510]\n"
       "/bin/zorhost(+0x700)[0x5700]\n",
       ByOffset,
       {"fn@0x510", "fn@0x6ff"}},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto report = ParseCrashReport(kHeader + c.backtrace, "zorhost", c.symbolize, error);
    ASSERT_TRUE(report) << c.what << ": " << error;
    EXPECT_EQ(report->frames, c.frames) << c.what;
    EXPECT_EQ(report->signal, "SIGSEGV");
    EXPECT_EQ(report->scene, "/s/a b.zor");
  }
  std::string error;
  EXPECT_FALSE(ParseCrashReport("hello\n", "zorhost", NoName, error));
  EXPECT_TRUE(Contains(error, "not a zorhost crash report"));
  EXPECT_FALSE(ParseCrashReport("zorhost crash report\nsignal: 11 (SIGSEGV)\n", "zorhost", NoName, error));
  EXPECT_EQ(crashcheck::Signature("hang", {}), "hang");
  EXPECT_EQ(crashcheck::CrashReportPath("x\nzorhost: crashed ...; crash report: /p/r.txt\n"), "/p/r.txt");
  EXPECT_EQ(crashcheck::CrashReportPath("zorhost: ...; crash report: (could not be written)\n"), "");
}

TEST(ToolText, AnyFileNameGivesWellFormedMarkupThatStillNamesIt) {
  EXPECT_EQ(relkit_tools::MarkupEscaped("a&b<c>\"'"), "a&amp;b&lt;c&gt;&quot;&#39;");
  EXPECT_EQ(relkit_tools::MarkupEscaped("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(relkit_tools::MarkupEscaped("a\xFF"
                                        "b\x01"
                                        "c\xC3"),
            "a\\xFFb\\u0001c\\xC3");
  EXPECT_EQ(relkit_tools::MarkupEscaped("\xED\xA0\x80"), "\\xED\\xA0\\x80") << "a surrogate";
  EXPECT_EQ(relkit_tools::MarkupEscaped("\xEF\xBF\xBE"), "\\uFFFE");
}

}  // namespace
