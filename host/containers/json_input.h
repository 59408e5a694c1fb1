// JSON that comes from outside the host: scene files, stored settings, UI scripts and script files are
// all read through here, so that every one of them refuses the same hostile input in the same words.
//
// Nesting is limited to kMaxJsonDepth levels of objects and arrays (the outermost one is level 1). Real
// files nest a handful of levels; the limit keeps every recursive reader (container values, the dump of
// a script step for its error message) far from the end of the stack, and the refusal comes while
// parsing, so a hostile file costs no more than its reading. Parsing is linear in the size of the text.
// Numbers too large for a double ("1e400") are refused with their place, like syntax errors.
#pragma once
#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "files/input_file.h"

namespace zorhost {

constexpr int kMaxJsonDepth = 100;

struct JsonInputError {
  size_t line = 0;  // from 1; 0 when the problem has no place in the text (an empty file)
  size_t column = 0;
  std::string problem;
  // "line 3, column 7: problem", or the problem alone
  std::string text() const;
};

// An error placed at a byte of the text (counted from 0), for readers with a handler of their own.
JsonInputError error_at(const std::string& text, size_t index, std::string problem);

// The error of a text that nests deeper than kMaxJsonDepth, placed at the first container too deep,
// for readers that parse with a handler of their own and stop at that depth.
JsonInputError too_deep_error(const std::string& text);

// False, leaving out untouched, when the text is not JSON within the limits above.
bool parse_json_input(const std::string& text, nlohmann::json* out, JsonInputError* error);

// Both: the error reads "FILE: line L, column C: problem" or "FILE: problem".
bool load_json_file(const std::filesystem::path& file, nlohmann::json* out, std::string* error);

}  // namespace zorhost
