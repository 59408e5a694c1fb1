// What a check leaves in the result folder: the verdicts for scripts (_summary.json), for CI servers
// (_junit.xml) and for people (_report.html and its pictures).
#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "check.h"

namespace relkit_report {

nlohmann::json SummaryJson(const CheckOutcome& outcome, const CheckOptions& options);
std::string JunitXml(const CheckOutcome& outcome, const CheckOptions& options);
// The page template with the summary in its data block.
std::string ReportPage(const nlohmann::json& summary);
// report_template.html, compiled in
const char* ReportTemplate();

// Writes the three files and moves the pictures folder into place, each whole or not at all.
void WriteOutputs(const CheckOutcome& outcome, const CheckOptions& options,
                  const std::filesystem::path& pictures);

}  // namespace relkit_report
