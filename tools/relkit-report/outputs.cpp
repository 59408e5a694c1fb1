#include "outputs.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>

#include "files.h"
#include "history.h"
#include "summary_markdown.h"

namespace relkit_report {

namespace {

constexpr const char* kDataMarker = "/*RELKIT_REPORT_DATA*/";

// Every string of the summary made printable, so that the JSON is valid UTF-8 whatever a name holds.
void MakePrintable(nlohmann::json& value) {
  if (value.is_string()) {
    value = Printable(value.get_ref<const std::string&>());
  } else if (value.is_structured()) {
    for (nlohmann::json& item : value) MakePrintable(item);
  }
}

std::string Fixed(double value, int digits) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

nlohmann::json ThresholdsJson(const Thresholds& t) {
  return {{"pixel", t.pixel},         {"warnPixels", t.warnPixels}, {"failPixels", t.failPixels},
          {"warnMean", t.warnMean},   {"failMean", t.failMean},     {"warnTime", t.warnTime},
          {"timeFloor", t.timeFloor}, {"failOnTime", t.failOnTime}, {"ssim", t.ssim},
          {"warnSsim", t.warnSsim},   {"failSsim", t.failSsim}};
}

}  // namespace

namespace {

nlohmann::json SceneJson(const SceneVerdict& s, const SceneHistories* history) {
  const ResultLine& line = s.Line();
  nlohmann::json scene = {{"number", s.number},
                          {"name", s.name},
                          {"status", VerdictWord(s.verdict)},
                          {"reasons", s.reasons},
                          {"sceneListChanged", s.listChanged},
                          {"reportStatus", line.status},
                          {"tnew", line.tnew},
                          {"told", line.hasTold ? nlohmann::json(line.told) : nlohmann::json()},
                          {"trel", line.hasTrel ? nlohmann::json(line.trel) : nlohmann::json()},
                          {"diff", line.hasTold ? nlohmann::json(line.diff) : nlohmann::json()},
                          {"pictures",
                           {{"new", s.hasNewPicture ? Picture(s.number, "new") : ""},
                            {"reference", s.hasComparisonPictures ? Picture(s.number, "ref") : ""},
                            {"difference", s.hasComparisonPictures ? Picture(s.number, "diff") : ""},
                            {"amplified", s.hasComparisonPictures ? Picture(s.number, "amp") : ""}}}};
  // the images at full size, for the page's detail view
  scene["pictures"]["full"] = {{"new", s.hasFullNew ? Picture(s.number, "full-new") : ""},
                               {"ref", s.hasFullComparison ? Picture(s.number, "full-ref") : ""},
                               {"diff", s.hasFullComparison ? Picture(s.number, "full-diff") : ""},
                               {"pixels", s.hasFullNew ? Picture(s.number, "full-pixels", ".js") : ""}};
  if (!s.referenceName.empty()) scene["referenceName"] = s.referenceName;
  if (s.compared) {
    scene["pixels"] = s.stats.pixels;
    scene["pixelsOver"] = s.stats.pixelsOver;
    scene["pixelShare"] = s.stats.pixels ? double(s.stats.pixelsOver) / double(s.stats.pixels) : 0.0;
    scene["maxPixelDifference"] = s.stats.maxDifference;
    scene["measuredDiff"] = s.stats.meanDifference;
  }
  // the thresholds that applied, and the similarity when it was judged
  scene["rule"] = s.rule ? s.rule->pattern : "default";
  if (s.hasSsim) scene["ssim"] = s.ssim;
  // the scene in the last runs kept by --history, this one last
  if (history) history->AddTo(s.name, scene);
  MakePrintable(scene);
  return scene;
}

// the summary without its scenes
nlohmann::json SummaryHead(const CheckOutcome& outcome, const CheckOptions& options) {
  nlohmann::json counts = nlohmann::json::object();
  for (int v = 0; v < kVerdictCount; ++v) counts[VerdictWord(Verdict(v))] = outcome.counts[v];
  nlohmann::json head = {
      {"result", std::filesystem::absolute(options.result).lexically_normal().string()},
      {"reference",
       options.reference
           ? nlohmann::json(std::filesystem::absolute(*options.reference).lexically_normal().string())
           : nlohmann::json()},
      {"thresholds", ThresholdsJson(options.thresholds)},
      {"thresholdsFile",
       options.thresholdsFile
           ? nlohmann::json(std::filesystem::absolute(*options.thresholdsFile).lexically_normal().string())
           : nlohmann::json()},
      {"counts", counts},
      {"total", outcome.scenes.size()},
      {"sceneListChanged", outcome.sceneListChanged},
      {"exitStatus", outcome.exitStatus}};
  MakePrintable(head);
  return head;
}

using Sink = std::function<void(const std::string&)>;

// The summary object written a scene at a time (keys in the order nlohmann's objects keep them), so
// that memory does not grow with the number of scenes: indented by two for the file, compact for the
// page.
void StreamSummary(const CheckOutcome& outcome, const CheckOptions& options, const SceneHistories* history,
                   bool pretty, const Sink& write) {
  const nlohmann::json head = SummaryHead(outcome, options);
  const std::string end = pretty ? "\n" : "";
  const auto text = [&](const nlohmann::json& value, int depth) {
    std::string dumped = value.dump(pretty ? 2 : -1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (!pretty) return dumped;
    const std::string indent = "\n" + std::string(size_t(2 * depth), ' ');
    std::string out;
    for (const char c : dumped) c == '\n' ? out += indent : out += c;
    return out;
  };
  bool first = true;
  const auto key = [&](const std::string& name) {
    write((first ? "{" + end : "," + end) + (pretty ? "  \"" : "\"") + name + (pretty ? "\": " : "\":"));
    first = false;
  };
  bool scenesWritten = false;
  const auto scenes = [&] {
    key("scenes");
    write("[");
    for (size_t i = 0; i < outcome.scenes.size(); ++i)
      write((i ? "," : "") + end + (pretty ? "    " : "") + text(SceneJson(outcome.scenes[i], history), 2));
    write(outcome.scenes.empty() ? "]" : end + (pretty ? "  ]" : "]"));
    scenesWritten = true;
  };
  for (const auto& [name, value] : head.items()) {
    if (!scenesWritten && name > "scenes") scenes();
    key(name);
    write(text(value, 1));
  }
  if (!scenesWritten) scenes();
  write(end + "}");
}

void WriteJunit(const CheckOutcome& outcome, const CheckOptions& options, const Sink& write) {
  const int failures = outcome.counts[int(Verdict::kFail)] + outcome.counts[int(Verdict::kMissing)];
  const int errors = outcome.counts[int(Verdict::kError)];
  const int skipped = outcome.counts[int(Verdict::kNew)];
  double time = 0;
  for (const SceneVerdict& s : outcome.scenes) time += s.Line().tnew;
  const std::string suite = std::filesystem::absolute(options.result).lexically_normal().filename().string();
  const std::string counts = "tests=\"" + std::to_string(outcome.scenes.size()) + "\" failures=\"" +
                             std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                             "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + Fixed(time, 2) + "\"";
  write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"relkit-report\" " + counts +
        ">\n  <testsuite name=\"" + relkit_tools::MarkupEscaped(suite) + "\" " + counts + ">\n");
  // A CI server matches a case across runs by class and name: neither may hold the run folder or the
  // scene's position, which change from run to run.
  const std::string classname = "relkit.renderator";
  for (const SceneVerdict& s : outcome.scenes) {
    const ResultLine& line = s.Line();
    std::string reasons;
    for (const std::string& r : s.reasons) reasons += r + "\n";
    const std::string figures = "Tnew " + Fixed(line.tnew, 2) + " s, Told " + Fixed(line.told, 2) +
                                " s, Diff " + Fixed(line.diff * 100, 2) + "%, pixels over threshold " +
                                std::to_string(s.stats.pixelsOver) + " of " + std::to_string(s.stats.pixels) +
                                (s.hasSsim ? ", SSIM " + Fixed(s.ssim, 4) : "");
    const std::string rule = s.rule ? "thresholds: rule \"" + s.rule->pattern + "\"\n" : "";
    // The pictures as attachments, in the "[[ATTACHMENT|path]]" lines that CI servers read from
    // system-out; the path is the result folder as given, so a relative one stays relative.
    std::string attachments;
    const auto attach = [&](bool made, const char* kind) {
      if (made) attachments += "[[ATTACHMENT|" + (options.result / Picture(s.number, kind)).string() + "]]\n";
    };
    attach(s.hasNewPicture, "new");
    for (const char* kind : {"ref", "diff", "amp"}) attach(s.hasComparisonPictures, kind);
    const std::string systemOut =
        rule +
        (s.verdict == Verdict::kWarn ? "WARN\n" + reasons + figures + "\n" + attachments : attachments);
    const std::string output =
        systemOut.empty() ? ""
                          : "      <system-out>" + relkit_tools::MarkupEscaped(systemOut) + "</system-out>\n";
    const std::string name = s.name.empty() ? "scene " + std::to_string(s.number) : s.name;
    std::string testcase = "    <testcase name=\"" + relkit_tools::MarkupEscaped(name) + "\" classname=\"" +
                           classname + "\" time=\"" + Fixed(line.tnew, 2) + "\"";
    const std::string message = s.reasons.empty() ? "" : s.reasons.front();
    switch (s.verdict) {
      case Verdict::kFail:
      case Verdict::kMissing:
        testcase += ">\n      <failure message=\"" + relkit_tools::MarkupEscaped(message) + "\" type=\"" +
                    VerdictWord(s.verdict) + "\">" + relkit_tools::MarkupEscaped(reasons + figures) +
                    "</failure>\n" + output + "    </testcase>\n";
        break;
      case Verdict::kError:
        testcase += ">\n      <error message=\"" + relkit_tools::MarkupEscaped(message) +
                    "\" type=\"ERROR\">" + relkit_tools::MarkupEscaped(reasons + figures) + "</error>\n" +
                    output + "    </testcase>\n";
        break;
      case Verdict::kNew:
        testcase += ">\n      <skipped message=\"" + relkit_tools::MarkupEscaped(message) + "\"/>\n" +
                    output + "    </testcase>\n";
        break;
      case Verdict::kWarn:
      case Verdict::kPass:
        testcase += output.empty() ? "/>\n" : ">\n" + output + "    </testcase>\n";
        break;
    }
    write(testcase);
  }
  write("  </testsuite>\n</testsuites>\n");
}

}  // namespace

std::string ScriptSafeJson(const std::string& json) {
  // In a script element "</script", "<!--" and "<script" change how the rest of the page is read, and
  // U+2028 / U+2029 end a line in older script engines. Each such character can stand only inside a
  // JSON string, where its \u escape means the same.
  std::string out;
  out.reserve(json.size());
  for (size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (c == '<') {
      out += "\\u003c";
    } else if (c == '>') {
      out += "\\u003e";
    } else if (c == '&') {
      out += "\\u0026";
    } else if (c == '\xE2' && i + 2 < json.size() && json[i + 1] == '\x80' &&
               (json[i + 2] == '\xA8' || json[i + 2] == '\xA9')) {
      out += json[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

void WriteOutputs(const CheckOutcome& outcome, const CheckOptions& options,
                  const std::filesystem::path& pictures, const SceneHistories* history) {
  // All are written in full before any replaces its predecessor.
  AtomicFile summary(options.result / "_summary.json");
  StreamSummary(outcome, options, history, true, [&](const std::string& text) { summary.Write(text); });
  summary.Write("\n");
  AtomicFile junit(options.result / "_junit.xml");
  WriteJunit(outcome, options, [&](const std::string& text) { junit.Write(text); });
  AtomicFile page(options.result / "_report.html");
  const std::string_view pageTemplate = ReportTemplate();
  const size_t marker = pageTemplate.find(kDataMarker);
  if (marker == std::string::npos) throw std::logic_error("the page template has no data marker");
  page.Write(std::string(pageTemplate.substr(0, marker)));
  StreamSummary(outcome, options, history, false,
                [&](const std::string& text) { page.Write(ScriptSafeJson(text)); });
  page.Write(std::string(pageTemplate.substr(marker + std::strlen(kDataMarker))));
  AtomicFile markdown(options.result / "_summary.md");
  WriteMarkdownSummary(outcome, options, [&](const std::string& text) { markdown.Write(text); });
  ReplaceFolder(pictures, options.result / kPictureFolder);
  summary.Commit();
  junit.Commit();
  page.Commit();
  markdown.Commit();
}

}  // namespace relkit_report
