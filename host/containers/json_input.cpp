#include "containers/json_input.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zorhost {
namespace {

using nlohmann::json;

struct TooDeep {};

constexpr size_t kNowhere = std::string::npos;

// The parser stops at the first problem it meets; the walks below find the same place again, going
// through the text as the parser does (strings skipped whole) up to that point, where everything
// before was valid JSON.
// `stop` sees the index of every character outside strings and may move it on past what it read.
template <class Stop>
size_t first_outside_strings(const std::string& text, Stop stop) {
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (stop(i)) {
      return i;
    }
  }
  return kNowhere;
}

size_t first_too_deep(const std::string& text) {
  int depth = 0;
  return first_outside_strings(text, [&](size_t& i) {
    const char c = text[i];
    if (c == '[' || c == '{') return ++depth > kMaxJsonDepth;
    if ((c == ']' || c == '}') && depth > 0) --depth;
    return false;
  });
}

bool is_number_char(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

size_t first_overflowing_number(const std::string& text) {
  return first_outside_strings(text, [&](size_t& i) {
    const char c = text[i];
    if (c != '-' && (c < '0' || c > '9')) return false;
    size_t end = i;
    while (end < text.size() && is_number_char(text[end])) ++end;
    const std::string token = text.substr(i, end - i);
    if (!std::isfinite(std::strtod(token.c_str(), nullptr))) return true;
    i = end - 1;
    return false;
  });
}

void place(const std::string& text, size_t index, JsonInputError* error) {
  index = std::min(index, text.size());
  size_t line = 1;
  size_t line_start = 0;
  for (size_t i = 0; i < index; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  error->line = line;
  error->column = index - line_start + 1;
}

// The library's messages start with its own tag ("[json.exception...] ") and, for syntax errors, its
// own position ("parse error at line 1, column 2: "); the place is given in our words instead.
std::string reason(const std::string& what) {
  std::string rest = what;
  if (const size_t tag = rest.find("] "); tag != std::string::npos) rest.erase(0, tag + 2);
  if (rest.rfind("parse error", 0) == 0) {
    if (const size_t at = rest.find(": "); at != std::string::npos) rest.erase(0, at + 2);
  }
  return rest;
}

bool is_blank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

std::string JsonInputError::text() const {
  if (line == 0) return problem;
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + problem;
}

JsonInputError error_at(const std::string& text, size_t index, std::string problem) {
  JsonInputError error;
  place(text, index, &error);
  error.problem = std::move(problem);
  return error;
}

JsonInputError too_deep_error(const std::string& text) {
  JsonInputError error;
  place(text, first_too_deep(text), &error);
  error.problem = "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep";
  return error;
}

bool parse_json_input(const std::string& text, nlohmann::json* out, JsonInputError* error) {
  *error = {};
  if (is_blank(text)) {
    error->problem = "invalid JSON: the file is empty";
    return false;
  }
  // depth counts the containers around the one that starts, so the outermost one starts at depth 0
  const json::parser_callback_t limit = [](int depth, json::parse_event_t event, json&) {
    if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
        depth >= kMaxJsonDepth)
      throw TooDeep{};
    return true;
  };
  try {
    *out = json::parse(text, limit);
    return true;
  } catch (const TooDeep&) {
    *error = too_deep_error(text);
  } catch (const json::parse_error& e) {
    place(text, e.byte == 0 ? 0 : e.byte - 1, error);
    error->problem = "invalid JSON: " + reason(e.what());
  } catch (const json::out_of_range& e) {
    // the only one the parser throws: a number beyond the range of a double
    const size_t at = first_overflowing_number(text);
    if (at == kNowhere) {
      error->problem = "number out of range: " + reason(e.what());
    } else {
      place(text, at, error);
      size_t end = at;
      while (end < text.size() && is_number_char(text[end])) ++end;
      error->problem = "number " + text.substr(at, end - at) + " is out of range";
    }
  } catch (const json::exception& e) {
    error->problem = "invalid JSON: " + reason(e.what());
  }
  return false;
}

bool load_json_file(const std::filesystem::path& file, nlohmann::json* out, std::string* error) {
  std::string text;
  std::string problem;
  if (!read_input_file(file, &text, &problem)) {
    *error = file.string() + ": " + problem;
    return false;
  }
  JsonInputError parse_error;
  if (!parse_json_input(text, out, &parse_error)) {
    *error = file.string() + ": " + parse_error.text();
    return false;
  }
  return true;
}

}  // namespace zorhost
