#include "outputs.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "crash_report.h"
#include "tool_text.h"

namespace crashcheck {
namespace {

using json = nlohmann::json;

std::string JsonText(const Findings& findings) {
  json buckets = json::array();
  for (const auto& [signature, bucket] : findings.buckets)
    buckets.push_back({{"signature", signature},
                       {"kind", bucket.kind},
                       {"frames", bucket.frames},
                       {"scenes", bucket.scenes}});
  const json document = {
      {"buckets", buckets}, {"finished", findings.finished}, {"unfinished", findings.unfinished}};
  // invalid UTF-8 in a file name is replaced rather than failing the whole file
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string JunitText(const Findings& findings) {
  std::ostringstream cases;
  size_t failures = 0;
  size_t count = 0;
  for (const auto& [signature, bucket] : findings.buckets) {
    for (const std::string& scene : bucket.scenes) {
      ++count;
      ++failures;
      cases << "    <testcase classname=\"crashcheck\" name=\"" << relkit_tools::MarkupEscaped(scene)
            << "\">\n"
            << "      <failure type=\"" << relkit_tools::MarkupEscaped(bucket.kind) << "\" message=\""
            << relkit_tools::MarkupEscaped(signature) << "\">" << relkit_tools::MarkupEscaped(signature)
            << "</failure>\n    </testcase>\n";
    }
  }
  for (const std::string& scene : findings.unfinished) {
    ++count;
    ++failures;
    cases << "    <testcase classname=\"crashcheck\" name=\"" << relkit_tools::MarkupEscaped(scene) << "\">\n"
          << "      <failure type=\"unfinished\" message=\"the scanner saved no full image\"/>\n"
          << "    </testcase>\n";
  }
  for (const std::string& scene : findings.finished) {
    ++count;
    cases << "    <testcase classname=\"crashcheck\" name=\"" << relkit_tools::MarkupEscaped(scene)
          << "\"/>\n";
  }
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"relkit-crashcheck\" tests=\""
      << count << "\" failures=\"" << failures << "\">\n  <testsuite name=\"crashcheck\" tests=\"" << count
      << "\" failures=\"" << failures << "\">\n"
      << cases.str() << "  </testsuite>\n</testsuites>\n";
  return out.str();
}

std::string HtmlText(const Findings& findings) {
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Crash check</title></head><body>\n"
      << "<h1>Crash buckets (" << findings.buckets.size() << ")</h1>\n";
  for (const auto& [signature, bucket] : findings.buckets) {
    out << "<h2>" << relkit_tools::MarkupEscaped(signature) << "</h2>\n<p>"
        << relkit_tools::MarkupEscaped(bucket.kind) << "</p>\n<ol>\n";
    for (const std::string& frame : bucket.frames)
      out << "<li><code>" << relkit_tools::MarkupEscaped(frame) << "</code></li>\n";
    out << "</ol>\n<ul>\n";
    for (const std::string& scene : bucket.scenes)
      out << "<li>" << relkit_tools::MarkupEscaped(scene) << "</li>\n";
    out << "</ul>\n";
  }
  if (!findings.unfinished.empty()) {
    out << "<h1>Not finished (" << findings.unfinished.size() << ")</h1>\n<ul>\n";
    for (const std::string& scene : findings.unfinished)
      out << "<li>" << relkit_tools::MarkupEscaped(scene) << "</li>\n";
    out << "</ul>\n";
  }
  out << "<h1>Finished scenes (" << findings.finished.size() << ")</h1>\n<ul>\n";
  for (const std::string& scene : findings.finished)
    out << "<li>" << relkit_tools::MarkupEscaped(scene) << "</li>\n";
  out << "</ul>\n</body></html>\n";
  return out.str();
}

}  // namespace

void Findings::Add(const std::string& kind, const std::vector<std::string>& frames,
                   const std::string& scene) {
  const std::string signature = Signature(kind, frames);
  Bucket& bucket = buckets[signature];
  bucket.signature = signature;
  bucket.kind = kind;
  bucket.frames = frames;
  bucket.scenes.push_back(scene);
}

bool WriteOutputs(const std::filesystem::path& folder, const Findings& findings, std::string& error) {
  return relkit_tools::WriteFileAtomically(folder / "_crashes.json", JsonText(findings), error) &&
         relkit_tools::WriteFileAtomically(folder / "_crashes_junit.xml", JunitText(findings), error) &&
         relkit_tools::WriteFileAtomically(folder / "_crashes.html", HtmlText(findings), error);
}

bool ReadKnownSignatures(const std::filesystem::path& file, std::set<std::string>& signatures,
                         std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = file.string() + ": cannot be read";
    return false;
  }
  const json document = json::parse(in, nullptr, false);
  if (document.is_discarded() || !document.is_object() || !document.contains("buckets") ||
      !document["buckets"].is_array()) {
    error = file.string() + ": not a crash list (JSON with a \"buckets\" array)";
    return false;
  }
  for (const json& bucket : document["buckets"]) {
    if (!bucket.is_object() || !bucket.contains("signature") || !bucket["signature"].is_string()) {
      error = file.string() + ": a bucket without a \"signature\" text";
      return false;
    }
    signatures.insert(bucket["signature"].get<std::string>());
  }
  return true;
}

}  // namespace crashcheck
