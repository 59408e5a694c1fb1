// The Translator Locator's reading of one source file: every double-quoted literal with the source line
// it stands in, and the rules that decide which literals look like text a user reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace translator_locator {

// The line buffer holds at most this many bytes of a source line; the rest of a longer line is left
// out of the listing (the literals on it are still found, with their full text).
constexpr size_t kLineBufferBytes = 2047;
// A listed literal is padded with blanks to this many characters before its source line.
constexpr size_t kLiteralColumn = 30;

// Called for each literal: its bytes between the quotes as they stand in the source, and the line
// buffer: the source line from its start up to and including the literal's text, tabs left out, the
// closing quote not included.
using LiteralVisitor = std::function<void(std::string_view literal, std::string_view line)>;

// Scans the bytes of one source file. A line comment ("//") hides the literals after it on its line;
// a literal ends at a quote that does not directly follow a backslash, at a line end or at the end of
// the bytes.
void ScanSource(std::string_view source, const LiteralVisitor& visit);

// The literal's bytes with every ASCII letter in lower case (other bytes as they are).
std::string LowerLiteral(std::string_view literal);

// Whether a lowered literal is listed: not empty, at least one letter a to z, no escaped quote and no
// hexadecimal escape, and not a header file name (isHeaderName asks the host's suffix test; it is asked
// last, only for literals that pass the rest).
bool IsListedLiteral(std::string_view lowered, const std::function<bool(std::string_view)>& isHeaderName);

// One line of the listing without its line end: the lowered literal padded with blanks to
// kLiteralColumn characters (a UTF-8 sequence counts as one), then the source line.
std::string ListingLine(std::string_view lowered, std::string_view line);

}  // namespace translator_locator
