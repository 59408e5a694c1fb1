#include "outputs.h"

#include <cstdio>
#include <cstring>

#include "files.h"

namespace relkit_report {

namespace {

constexpr const char* kDataMarker = "/*RELKIT_REPORT_DATA*/";

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // control characters other than tab and line ends are not allowed in XML 1.0
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
          out += c;
        else
          out += '?';
    }
  }
  return out;
}

std::string Fixed(double value, int digits) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

nlohmann::json ThresholdsJson(const Thresholds& t) {
  return {{"pixel", t.pixel},         {"warnPixels", t.warnPixels}, {"failPixels", t.failPixels},
          {"warnMean", t.warnMean},   {"failMean", t.failMean},     {"warnTime", t.warnTime},
          {"timeFloor", t.timeFloor}, {"failOnTime", t.failOnTime}};
}

}  // namespace

nlohmann::json SummaryJson(const CheckOutcome& outcome, const CheckOptions& options) {
  nlohmann::json counts = nlohmann::json::object();
  for (int v = 0; v < kVerdictCount; ++v) counts[VerdictWord(Verdict(v))] = outcome.counts[v];
  nlohmann::json scenes = nlohmann::json::array();
  for (const SceneVerdict& s : outcome.scenes) {
    nlohmann::json scene = {{"number", s.number},
                            {"name", s.name},
                            {"status", VerdictWord(s.verdict)},
                            {"reasons", s.reasons},
                            {"sceneListChanged", s.listChanged},
                            {"reportStatus", s.line.status},
                            {"tnew", s.line.tnew},
                            {"told", s.line.hasTold ? nlohmann::json(s.line.told) : nlohmann::json()},
                            {"trel", s.line.hasTrel ? nlohmann::json(s.line.trel) : nlohmann::json()},
                            {"diff", s.line.hasTold ? nlohmann::json(s.line.diff) : nlohmann::json()},
                            {"pictures",
                             {{"new", s.newPicture},
                              {"reference", s.referencePicture},
                              {"difference", s.differencePicture},
                              {"amplified", s.amplifiedPicture}}}};
    if (!s.referenceName.empty()) scene["referenceName"] = s.referenceName;
    if (s.compared) {
      scene["pixels"] = s.stats.pixels;
      scene["pixelsOver"] = s.stats.pixelsOver;
      scene["pixelShare"] = s.stats.pixels ? double(s.stats.pixelsOver) / double(s.stats.pixels) : 0.0;
      scene["maxPixelDifference"] = s.stats.maxDifference;
      scene["measuredDiff"] = s.stats.meanDifference;
    }
    scenes.push_back(std::move(scene));
  }
  return {{"result", std::filesystem::absolute(options.result).lexically_normal().string()},
          {"reference",
           options.reference
               ? nlohmann::json(std::filesystem::absolute(*options.reference).lexically_normal().string())
               : nlohmann::json()},
          {"thresholds", ThresholdsJson(options.thresholds)},
          {"counts", counts},
          {"total", outcome.scenes.size()},
          {"sceneListChanged", outcome.sceneListChanged},
          {"exitStatus", outcome.exitStatus},
          {"scenes", scenes}};
}

std::string JunitXml(const CheckOutcome& outcome, const CheckOptions& options) {
  int failures = 0, errors = 0, skipped = 0;
  double time = 0;
  std::string cases;
  const std::string suite = std::filesystem::absolute(options.result).lexically_normal().filename().string();
  for (const SceneVerdict& s : outcome.scenes) {
    time += s.line.tnew;
    std::string reasons;
    for (const std::string& r : s.reasons) reasons += r + "\n";
    const std::string figures = "Tnew " + Fixed(s.line.tnew, 2) + " s, Told " + Fixed(s.line.told, 2) +
                                " s, Diff " + Fixed(s.line.diff * 100, 2) + "%, pixels over threshold " +
                                std::to_string(s.stats.pixelsOver) + " of " + std::to_string(s.stats.pixels);
    cases += "    <testcase name=\"" + XmlEscaped(std::to_string(s.number) + " " + s.name) +
             "\" classname=\"" + XmlEscaped("renderator." + suite) + "\" time=\"" + Fixed(s.line.tnew, 2) +
             "\"";
    const std::string message = s.reasons.empty() ? "" : s.reasons.front();
    switch (s.verdict) {
      case Verdict::kFail:
      case Verdict::kMissing:
        ++failures;
        cases += ">\n      <failure message=\"" + XmlEscaped(message) + "\" type=\"" +
                 VerdictWord(s.verdict) + "\">" + XmlEscaped(reasons + figures) +
                 "</failure>\n    </testcase>\n";
        break;
      case Verdict::kError:
        ++errors;
        cases += ">\n      <error message=\"" + XmlEscaped(message) + "\" type=\"ERROR\">" +
                 XmlEscaped(reasons + figures) + "</error>\n    </testcase>\n";
        break;
      case Verdict::kNew:
        ++skipped;
        cases += ">\n      <skipped message=\"" + XmlEscaped(message) + "\"/>\n    </testcase>\n";
        break;
      case Verdict::kWarn:
        cases += ">\n      <system-out>" + XmlEscaped("WARN\n" + reasons + figures) +
                 "</system-out>\n    </testcase>\n";
        break;
      case Verdict::kPass:
        cases += "/>\n";
        break;
    }
  }
  const std::string counts = "tests=\"" + std::to_string(outcome.scenes.size()) + "\" failures=\"" +
                             std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                             "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + Fixed(time, 2) + "\"";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"relkit-report\" " + counts +
         ">\n  <testsuite name=\"" + XmlEscaped(suite) + "\" " + counts + ">\n" + cases +
         "  </testsuite>\n</testsuites>\n";
}

std::string ReportPage(const nlohmann::json& summary) {
  std::string page = ReportTemplate();
  // The data sits in a script element: "</" inside a string would end that element early.
  std::string data = summary.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  for (size_t at = data.find("</"); at != std::string::npos; at = data.find("</", at + 3))
    data.insert(at + 1, "\\");
  const size_t marker = page.find(kDataMarker);
  if (marker == std::string::npos) throw std::logic_error("the page template has no data marker");
  page.replace(marker, std::strlen(kDataMarker), data);
  return page;
}

void WriteOutputs(const CheckOutcome& outcome, const CheckOptions& options,
                  const std::filesystem::path& pictures) {
  const nlohmann::json summary = SummaryJson(outcome, options);
  const std::string json = summary.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  const std::string junit = JunitXml(outcome, options);
  const std::string page = ReportPage(summary);
  ReplaceFolder(pictures, options.result / kPictureFolder);
  WriteFileAtomically(options.result / "_summary.json", json);
  WriteFileAtomically(options.result / "_junit.xml", junit);
  WriteFileAtomically(options.result / "_report.html", page);
}

}  // namespace relkit_report
