#include "summary_markdown.h"

#include <cstdio>
#include <cstring>

#include "tool_text.h"

namespace relkit_report {

namespace {

std::string Fixed(double value, int digits) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

std::string Row(const SceneVerdict& s) {
  const ResultLine& line = s.Line();
  const std::string diff = line.hasTold ? Fixed(line.diff * 100, 2) + "%" : "";
  const std::string over =
      s.compared
          ? std::to_string(s.stats.pixelsOver) + " (" +
                Fixed(s.stats.pixels ? 100.0 * double(s.stats.pixelsOver) / double(s.stats.pixels) : 0, 2) +
                "%)"
          : "";
  const std::string times =
      s.report ? Fixed(line.tnew, 2) + " s" + (line.hasTold ? " vs " + Fixed(line.told, 2) + " s" : "") : "";
  const std::string why = s.reasons.empty() ? "" : MarkdownEscaped(s.reasons.front());
  return "| " + std::string(VerdictWord(s.verdict)) + " | " + std::to_string(s.number) + " | " +
         MarkdownEscaped(s.name) + " | " + diff + " | " + over + " | " + times + " | " + why + " |\n";
}

}  // namespace

std::string MarkdownEscaped(const std::string& text) {
  const std::string printable = relkit_tools::Printable(text);
  std::string out;
  out.reserve(printable.size());
  for (size_t i = 0; i < printable.size(); ++i) {
    const char c = printable[i];
    if (c == '\n' || c == '\r') {
      out += ' ';
    } else if (c == '\xE2' && i + 2 < printable.size() && printable[i + 1] == '\x80' &&
               (printable[i + 2] == '\xA8' || printable[i + 2] == '\xA9')) {
      out += ' ';  // U+2028, U+2029: line and paragraph separators
      i += 2;
    } else {
      if (std::strchr("\\`*_[]<>|~&#!", c) && c != 0) out += '\\';
      out += c;
    }
  }
  return out;
}

void WriteMarkdownSummary(const CheckOutcome& outcome, const CheckOptions& options,
                          const std::function<void(const std::string&)>& write) {
  const std::string folder = std::filesystem::absolute(options.result).lexically_normal().filename().string();
  const bool failed = outcome.exitStatus != 0;
  write("### relkit-report: " + std::string(failed ? "failed" : "passed") + " (" + MarkdownEscaped(folder) +
        ")\n\n");
  std::string words = "|", rule = "|", counts = "|";
  for (int v = 0; v < kVerdictCount; ++v) {
    words += std::string(" ") + VerdictWord(Verdict(v)) + " |";
    rule += "---:|";
    counts += " " + std::to_string(outcome.counts[v]) + " |";
  }
  write(words + " scenes |\n" + rule + "---:|\n" + counts + " " + std::to_string(outcome.scenes.size()) +
        " |\n\n");

  // failures first, then warnings, each in scene order
  size_t listed = 0, left = 0;
  for (const bool failures : {true, false}) {
    for (const SceneVerdict& s : outcome.scenes) {
      if (failures ? !IsFailure(s.verdict) : s.verdict != Verdict::kWarn) continue;
      if (listed == kMarkdownRows) {
        ++left;
        continue;
      }
      if (listed++ == 0)
        write(
            "| verdict | # | scene | Diff | pixels over | Tnew vs Told | why |\n"
            "|---|---:|---|---:|---:|---|---|\n");
      write(Row(s));
    }
  }
  if (listed == 0) write("No scene failed or warned.\n");
  if (left)
    write("\n... and " + std::to_string(left) + " more failing or warning scenes: see _report.html.\n");
}

}  // namespace relkit_report
