#include "outputs.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "crash_report.h"
#include "tool_text.h"

namespace crashcheck {
namespace {

using json = nlohmann::json;

std::string Escaped(const std::string& text) {
  return relkit_tools::MarkupEscaped(text);
}

std::string ReliabilityText(const Bucket& bucket) {
  if (bucket.scenes.empty()) return "outside any scene, not run again";
  return std::string(bucket.Reliable() ? "reliable" : "flaky") + " (" + std::to_string(bucket.reproduced) +
         " of " + std::to_string(bucket.scenes.size()) + " crashed again alone)";
}

std::string JsonText(const Findings& findings) {
  json buckets = json::array();
  for (const auto& [signature, bucket] : findings.buckets)
    buckets.push_back({{"signature", signature},
                       {"kind", bucket.kind},
                       {"frames", bucket.frames},
                       {"scenes", bucket.scenes},
                       {"reliable", bucket.Reliable()},
                       {"reproduced", bucket.reproduced},
                       {"first_seen", bucket.first_seen}});
  const json document = {{"started", findings.started},
                         {"buckets", buckets},
                         {"finished", findings.finished},
                         {"unfinished", findings.unfinished}};
  // invalid UTF-8 in a file name is replaced rather than failing the whole file
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string JunitText(const Findings& findings) {
  std::ostringstream cases;
  size_t failures = 0;
  size_t count = 0;
  for (const auto& [signature, bucket] : findings.buckets) {
    // a stop outside any scene still fails the suite, as one case of its own
    const std::vector<std::string> cases_of =
        bucket.scenes.empty() ? std::vector<std::string>{"(outside any scene)"} : bucket.scenes;
    for (const std::string& scene : cases_of) {
      ++count;
      ++failures;
      cases << "    <testcase classname=\"crashcheck\" name=\"" << relkit_tools::MarkupEscaped(scene)
            << "\">\n"
            << "      <failure type=\"" << relkit_tools::MarkupEscaped(bucket.kind) << "\" message=\""
            << relkit_tools::MarkupEscaped(signature) << "\">" << relkit_tools::MarkupEscaped(signature)
            << "; " << ReliabilityText(bucket) << "</failure>\n    </testcase>\n";
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

void HtmlSceneList(std::ostringstream& out, const char* id, const std::string& title,
                   const std::vector<std::string>& scenes) {
  out << "<h2 id=\"" << id << "\">" << title << " (" << scenes.size() << ")</h2>\n<ul>\n";
  for (const std::string& scene : scenes) out << "<li>" << Escaped(scene) << "</li>\n";
  out << "</ul>\n";
}

// One overview table (a row per bucket), then each bucket with its stack and scenes, then the scenes
// that did not crash, so that every scene of the folder is named once on the page.
std::string HtmlText(const Findings& findings) {
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Crash check</title>\n<style>\n"
      << "body{font-family:sans-serif;margin:1em 2em}table{border-collapse:collapse}"
      << "td,th{border:1px solid #ccc;padding:2px 8px;text-align:left}"
      << ".flaky{color:#a60}.reliable{color:#a00}ol code{white-space:pre-wrap}\n</style></head><body>\n"
      << "<h1>Crash check</h1>\n<p>Started " << Escaped(findings.started) << ": " << findings.buckets.size()
      << " crash bucket(s), " << findings.finished.size() << " scene(s) finished, "
      << findings.unfinished.size() << " not finished.</p>\n<table id=\"buckets\">\n"
      << "<tr><th>bucket</th><th>kind</th><th>scenes</th><th>reproduces</th><th>first seen</th></tr>\n";
  int number = 0;
  for (const auto& [signature, bucket] : findings.buckets)
    out << "<tr><td><a href=\"#bucket" << ++number << "\">" << Escaped(signature) << "</a></td><td>"
        << Escaped(bucket.kind) << "</td><td>" << bucket.scenes.size() << "</td><td class=\""
        << (bucket.Reliable() ? "reliable" : "flaky") << "\">" << ReliabilityText(bucket) << "</td><td>"
        << Escaped(bucket.first_seen) << "</td></tr>\n";
  out << "</table>\n";
  number = 0;
  for (const auto& [signature, bucket] : findings.buckets) {
    out << "<section class=\"bucket\" id=\"bucket" << ++number << "\">\n<h2>" << Escaped(signature)
        << "</h2>\n<p>" << Escaped(bucket.kind) << "; " << ReliabilityText(bucket) << "; first seen "
        << Escaped(bucket.first_seen) << "</p>\n<ol class=\"stack\">\n";
    for (const std::string& frame : bucket.frames) out << "<li><code>" << Escaped(frame) << "</code></li>\n";
    out << "</ol>\n<ul class=\"scenes\">\n";
    for (const std::string& scene : bucket.scenes) out << "<li>" << Escaped(scene) << "</li>\n";
    out << "</ul>\n</section>\n";
  }
  if (!findings.unfinished.empty()) HtmlSceneList(out, "unfinished", "Not finished", findings.unfinished);
  HtmlSceneList(out, "finished", "Finished scenes", findings.finished);
  out << "</body></html>\n";
  return out.str();
}

}  // namespace

void Findings::Add(const std::string& kind, const std::vector<std::string>& frames,
                   std::optional<std::string> scene) {
  const std::string signature = Signature(kind, frames);
  Bucket& bucket = buckets[signature];
  bucket.signature = signature;
  bucket.kind = kind;
  bucket.frames = frames;
  if (scene) bucket.scenes.push_back(std::move(*scene));
}

bool WriteOutputs(const std::filesystem::path& folder, const Findings& findings, std::string& error) {
  return relkit_tools::WriteFileAtomically(folder / "_crashes.json", JsonText(findings), error) &&
         relkit_tools::WriteFileAtomically(folder / "_crashes_junit.xml", JunitText(findings), error) &&
         relkit_tools::WriteFileAtomically(folder / "_crashes.html", HtmlText(findings), error);
}

bool ReadKnownBuckets(const std::filesystem::path& file, std::map<std::string, std::string>& first_seen,
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
    const auto seen = bucket.find("first_seen");
    first_seen[bucket["signature"].get<std::string>()] =
        seen != bucket.end() && seen->is_string() ? seen->get<std::string>() : "";
  }
  return true;
}

}  // namespace crashcheck
