// What a check leaves in the result folder: the verdicts for scripts (_summary.json), for CI servers
// (_junit.xml) and for people (_report.html and its pictures).
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "check.h"

namespace relkit_report {

// The text as valid UTF-8 that XML 1.0 allows: a byte that is not part of valid UTF-8 becomes \xHH
// (a lone surrogate ED A0 80 is \xED\xA0\x80), a character XML 1.0 forbids (controls other than tab
// and line ends, U+FFFE, U+FFFF) becomes \uHHHH. Other text, backslashes included, stays as it is.
std::string Printable(const std::string& text);
// JSON text made safe inside a <script> element: <, >, & and U+2028/2029 as \u escapes.
std::string ScriptSafeJson(const std::string& json);
// report_template.html, compiled in
const char* ReportTemplate();

// Writes the three files and moves the pictures folder into place, each whole or not at all. The
// summary goes into the page template's data block; everything is written a scene at a time.
void WriteOutputs(const CheckOutcome& outcome, const CheckOptions& options,
                  const std::filesystem::path& pictures);

}  // namespace relkit_report
