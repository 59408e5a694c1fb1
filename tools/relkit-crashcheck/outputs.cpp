#include "outputs.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "crash_report.h"

namespace crashcheck {
namespace {

using json = nlohmann::json;

bool WriteAtomically(const std::filesystem::path& file, const std::string& text, std::string& error) {
  const std::filesystem::path temporary = file.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      error = temporary.string() + ": cannot be written";
      return false;
    }
  }
  std::error_code failed;
  std::filesystem::rename(temporary, file, failed);
  if (failed) {
    error = file.string() + ": cannot be written (" + failed.message() + ")";
    std::filesystem::remove(temporary, failed);
    return false;
  }
  return true;
}

// The length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8Length(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  // overlong forms, surrogates and code points past U+10FFFF
  if ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) > 0x9F) ||
      (lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) > 0x8F))
    return 0;
  return length;
}

// For XML and HTML alike: markup characters escaped; control characters that XML 1.0 cannot hold and
// bytes that are not UTF-8 (a file name may hold any) become U+FFFD, so the file stays well-formed.
std::string Escape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (length > 1) {
      out += text.substr(i, length);
      i += length;
      continue;
    }
    const char c = text[i++];
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
        out += "&#39;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
          out += "\xEF\xBF\xBD";
        else
          out += c;
    }
  }
  return out;
}

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
      cases << "    <testcase classname=\"crashcheck\" name=\"" << Escape(scene) << "\">\n"
            << "      <failure type=\"" << Escape(bucket.kind) << "\" message=\"" << Escape(signature)
            << "\">" << Escape(signature) << "</failure>\n    </testcase>\n";
    }
  }
  for (const std::string& scene : findings.unfinished) {
    ++count;
    ++failures;
    cases << "    <testcase classname=\"crashcheck\" name=\"" << Escape(scene) << "\">\n"
          << "      <failure type=\"unfinished\" message=\"the scanner saved no full image\"/>\n"
          << "    </testcase>\n";
  }
  for (const std::string& scene : findings.finished) {
    ++count;
    cases << "    <testcase classname=\"crashcheck\" name=\"" << Escape(scene) << "\"/>\n";
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
    out << "<h2>" << Escape(signature) << "</h2>\n<p>" << Escape(bucket.kind) << "</p>\n<ol>\n";
    for (const std::string& frame : bucket.frames) out << "<li><code>" << Escape(frame) << "</code></li>\n";
    out << "</ol>\n<ul>\n";
    for (const std::string& scene : bucket.scenes) out << "<li>" << Escape(scene) << "</li>\n";
    out << "</ul>\n";
  }
  if (!findings.unfinished.empty()) {
    out << "<h1>Not finished (" << findings.unfinished.size() << ")</h1>\n<ul>\n";
    for (const std::string& scene : findings.unfinished) out << "<li>" << Escape(scene) << "</li>\n";
    out << "</ul>\n";
  }
  out << "<h1>Finished scenes (" << findings.finished.size() << ")</h1>\n<ul>\n";
  for (const std::string& scene : findings.finished) out << "<li>" << Escape(scene) << "</li>\n";
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

std::string EscapeXml(const std::string& text) {
  return Escape(text);
}

bool WriteOutputs(const std::filesystem::path& folder, const Findings& findings, std::string& error) {
  return WriteAtomically(folder / "_crashes.json", JsonText(findings), error) &&
         WriteAtomically(folder / "_crashes_junit.xml", JunitText(findings), error) &&
         WriteAtomically(folder / "_crashes.html", HtmlText(findings), error);
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
