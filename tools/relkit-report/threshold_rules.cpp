#include "threshold_rules.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "result_file.h"

namespace relkit_report {

const std::vector<ThresholdKey>& ThresholdKeys() {
  static const std::vector<ThresholdKey> kKeys = {
      {"pixel-threshold", false, 0, 255, 1, [](Thresholds& t, double v) { t.pixel = int(v); }},
      {"warn-pixels", false, 0, 100, 0.01, [](Thresholds& t, double v) { t.warnPixels = v; }},
      {"fail-pixels", false, 0, 100, 0.01, [](Thresholds& t, double v) { t.failPixels = v; }},
      {"warn-mean", false, 0, 100, 0.01, [](Thresholds& t, double v) { t.warnMean = v; }},
      {"fail-mean", false, 0, 100, 0.01, [](Thresholds& t, double v) { t.failMean = v; }},
      {"warn-time", false, 0, 1e9, 0.01, [](Thresholds& t, double v) { t.warnTime = v; }},
      {"time-floor", false, 0, 1e9, 1, [](Thresholds& t, double v) { t.timeFloor = v; }},
      {"fail-on-time", true, 0, 1, 1, [](Thresholds& t, double v) { t.failOnTime = v != 0; }},
      {"ssim", true, 0, 1, 1, [](Thresholds& t, double v) { t.ssim = v != 0; }},
      {"warn-ssim", false, 0, 1, 1, [](Thresholds& t, double v) { t.warnSsim = v; }},
      {"fail-ssim", false, 0, 1, 1, [](Thresholds& t, double v) { t.failSsim = v; }},
  };
  return kKeys;
}

const ThresholdKey* FindThresholdKey(std::string_view name) {
  for (const ThresholdKey& key : ThresholdKeys())
    if (name == key.name) return &key;
  return nullptr;
}

bool NameMatches(std::string_view pattern, std::string_view name) {
  // reach[j]: the pattern read so far can stand for the first j characters of name
  const size_t n = name.size();
  std::vector<char> reach(n + 1, 0), next(n + 1);
  reach[0] = 1;
  for (size_t i = 0; i < pattern.size();) {
    std::fill(next.begin(), next.end(), 0);
    const char c = pattern[i];
    if (c == '*' && i + 1 < pattern.size() && pattern[i + 1] == '*') {
      for (size_t j = 0; j <= n; ++j) next[j] = reach[j] || (j > 0 && next[j - 1]);
      i += 2;
      // "**/" at the start of a folder name also stands for no folder at all
      if (i < pattern.size() && pattern[i] == '/' && (i == 2 || pattern[i - 3] == '/')) {
        for (size_t j = n; j > 0; --j) next[j] = next[j - 1] && name[j - 1] == '/';
        next[0] = 0;
        for (size_t j = 0; j <= n; ++j) next[j] = next[j] || reach[j];
        ++i;
      }
    } else if (c == '*') {
      for (size_t j = 0; j <= n; ++j) next[j] = reach[j] || (j > 0 && next[j - 1] && name[j - 1] != '/');
      ++i;
    } else {
      for (size_t j = 0; j < n; ++j) next[j + 1] = reach[j] && (c == '?' ? name[j] != '/' : name[j] == c);
      ++i;
    }
    reach.swap(next);
  }
  return reach[n];
}

namespace {

// outside text in a message, kept short
std::string Shown(std::string_view text) {
  return "\"" + std::string(text.substr(0, 60)) + (text.size() > 60 ? "...\"" : "\"");
}

std::string Number(double value) {
  char text[48];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string KnownKeys() {
  std::string known = "\"match\"";
  for (const ThresholdKey& key : ThresholdKeys()) known += std::string(", \"") + key.name + "\"";
  return known;
}

}  // namespace

std::vector<ThresholdRule> ParseThresholdRules(std::string_view text, const std::string& shownAs,
                                               const Thresholds& defaults) {
  nlohmann::json file;
  try {
    file = nlohmann::json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::exception& e) {  // a parse error, or a number too large for a double
    const std::string what = e.what();
    const size_t tag = what.find("] ");
    throw InputError(shownAs + ": not JSON (" + (tag == std::string::npos ? what : what.substr(tag + 2)) +
                     ")");
  }
  if (!file.is_object()) throw InputError(shownAs + ": not an object {\"rules\": [...]}");
  for (const auto& [key, value] : file.items())
    if (key != "rules") throw InputError(shownAs + ": unknown key " + Shown(key) + " (only \"rules\")");
  const auto rulesAt = file.find("rules");
  if (rulesAt == file.end() || !rulesAt->is_array())
    throw InputError(shownAs + ": \"rules\" must be an array of rules");

  std::vector<ThresholdRule> rules;
  for (size_t index = 0; index < rulesAt->size(); ++index) {
    const nlohmann::json& rule = (*rulesAt)[index];
    const std::string where = shownAs + ": rules[" + std::to_string(index) + "]";
    if (!rule.is_object()) throw InputError(where + ": not an object");
    const auto match = rule.find("match");
    if (match == rule.end()) throw InputError(where + ": no \"match\" pattern");
    if (!match->is_string() || match->get_ref<const std::string&>().empty())
      throw InputError(where + ", \"match\": the pattern must be a text that is not empty");
    ThresholdRule parsed{match->get<std::string>(), defaults};
    bool ssimGiven = false, ssimLimitGiven = false;
    for (const auto& [name, value] : rule.items()) {
      if (name == "match") continue;
      const ThresholdKey* key = FindThresholdKey(name);
      const std::string at = where + ", " + Shown(name);
      if (!key) throw InputError(at + ": unknown key (known: " + KnownKeys() + ")");
      if (key->flag) {
        if (!value.is_boolean()) throw InputError(at + ": must be true or false");
        key->set(parsed.thresholds, value.get<bool>() ? 1 : 0);
      } else {
        const double number = value.is_number() ? value.get<double>() : NAN;
        if (!(number >= key->low && number <= key->high))
          throw InputError(at + ": " + (value.is_number() ? Number(number) + " is not" : "must be") +
                           " a number from " + Number(key->low) + " to " + Number(key->high));
        key->set(parsed.thresholds, number * key->scale);
      }
      ssimGiven = ssimGiven || name == "ssim";
      ssimLimitGiven = ssimLimitGiven || name == "warn-ssim" || name == "fail-ssim";
    }
    // a limit for the similarity asks for it, unless the rule says otherwise
    if (ssimLimitGiven && !ssimGiven) parsed.thresholds.ssim = true;
    rules.push_back(std::move(parsed));
  }
  return rules;
}

std::vector<ThresholdRule> ReadThresholdRules(const std::filesystem::path& resultFolder,
                                              std::optional<std::filesystem::path>& file,
                                              const Thresholds& defaults) {
  if (!file) {
    const std::filesystem::path found = SceneFolderPrefix(resultFolder) + kThresholdsFile;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(found, error))) return {};
    file = found;
  }
  const std::string shownAs = file->string();
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(*file, error);
  if (!std::filesystem::exists(status)) throw InputError(shownAs + ": no such file");
  if (!std::filesystem::is_regular_file(status)) throw InputError(shownAs + ": not a regular file");
  std::ifstream in(*file, std::ios::binary);
  std::string text(kMaxThresholdsBytes + 1, '\0');
  in.read(text.data(), std::streamsize(text.size()));
  if (in.bad() || (!in && !in.eof())) throw InputError(shownAs + ": cannot be read");
  text.resize(size_t(in.gcount()));
  if (text.size() > kMaxThresholdsBytes)
    throw InputError(shownAs + ": larger than " + std::to_string(kMaxThresholdsBytes >> 20) + " MiB");
  return ParseThresholdRules(text, shownAs, defaults);
}

const ThresholdRule* RuleFor(const std::vector<ThresholdRule>& rules, std::string_view name) {
  for (const ThresholdRule& rule : rules)
    if (NameMatches(rule.pattern, name)) return &rule;
  return nullptr;
}

}  // namespace relkit_report
