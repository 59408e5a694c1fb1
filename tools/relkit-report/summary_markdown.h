// _summary.md: the counts and the failing and warning scenes with their figures, as a CI job page or
// a pull-request comment shows Markdown.
#pragma once
#include <functional>
#include <string>

#include "check.h"

namespace relkit_report {

// Printable text that Markdown shows as it is inside a table cell: line breaks become blanks, and
// the characters that open markup, links, HTML or cell borders are escaped with a backslash.
std::string MarkdownEscaped(const std::string& text);

// at most this many scenes in the table (a pull-request comment is limited); the rest are counted
inline constexpr size_t kMarkdownRows = 100;

void WriteMarkdownSummary(const CheckOutcome& outcome, const CheckOptions& options,
                          const std::function<void(const std::string&)>& write);

}  // namespace relkit_report
