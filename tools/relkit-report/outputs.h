// What a check leaves in the result folder: the verdicts for scripts (_summary.json), for CI servers
// (_junit.xml, _summary.md) and for people (_report.html and its pictures).
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "check.h"
#include "tool_text.h"

namespace relkit_report {

// one rule with the other tools: see tool_text.h
using relkit_tools::Printable;
// JSON text made safe inside a <script> element: <, >, & and U+2028/2029 as \u escapes.
std::string ScriptSafeJson(const std::string& json);
// report_template.html, compiled in
const char* ReportTemplate();

// Writes the three files and moves the pictures folder into place, each whole or not at all. The
// summary goes into the page template's data block; everything is written a scene at a time.
// With a history, each scene's marks in the last runs go into the summary and the page.
class SceneHistories;
void WriteOutputs(const CheckOutcome& outcome, const CheckOptions& options,
                  const std::filesystem::path& pictures, const SceneHistories* history = nullptr);

}  // namespace relkit_report
