#include "files/path_text.h"

namespace zorhost {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Length of the part that stays when everything after it is cut: "/", "C:\", "C:" or nothing.
size_t root_length(std::string_view path) {
  if (has_drive(path)) return path.size() > 2 && is_separator(path[2]) ? 3 : 2;
  return !path.empty() && is_separator(path[0]) ? 1 : 0;
}

std::string_view without_trailing_separators(std::string_view path) {
  const size_t root = root_length(path);
  while (path.size() > root && is_separator(path.back())) path.remove_suffix(1);
  return path;
}

// Position where the file part starts.
size_t file_start(std::string_view path) {
  const size_t root = root_length(path);
  for (size_t i = path.size(); i > root; --i) {
    if (is_separator(path[i - 1])) return i;
  }
  return root;
}

// Position of the dot that starts the suffix of the file part, or npos.
size_t suffix_dot(std::string_view path) {
  const size_t start = file_start(path);
  const size_t dot = path.rfind('.');
  // a leading dot (".profile") names the file, it is not a suffix
  if (dot == std::string_view::npos || dot <= start) return std::string_view::npos;
  return dot;
}

}  // namespace

bool is_separator(char c) {
  return c == '/' || c == '\\';
}

bool has_drive(std::string_view path) {
  return path.size() >= 2 && is_letter(path[0]) && path[1] == ':' &&
         (path.size() == 2 || is_separator(path[2]));
}

bool is_absolute_path(std::string_view path) {
  return has_drive(path) || (!path.empty() && is_separator(path[0]));
}

std::string join_path(std::string_view base, std::string_view name) {
  if (base.empty() || is_absolute_path(name)) return std::string(name);
  if (name.empty()) return std::string(base);
  std::string out(base);
  if (!is_separator(out.back())) {
    // keep the style of the base: a Windows-style path goes on with backslashes
    const bool backslashes =
        base.find('\\') != std::string_view::npos && base.find('/') == std::string_view::npos;
    out += backslashes ? '\\' : '/';
  }
  out += name;
  return out;
}

std::string directory_part(std::string_view path) {
  path = without_trailing_separators(path);
  const size_t root = root_length(path);
  const size_t start = file_start(path);
  if (start <= root) return std::string(path.substr(0, root));
  return std::string(without_trailing_separators(path.substr(0, start)));
}

std::string file_part(std::string_view path) {
  path = without_trailing_separators(path);
  return std::string(path.substr(file_start(path)));
}

bool has_suffix(std::string_view path, std::string_view suffix) {
  path = without_trailing_separators(path);
  const size_t dot = suffix_dot(path);
  const std::string_view own = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
  if (!suffix.empty() && suffix[0] == '.') suffix.remove_prefix(1);
  if (own.size() != suffix.size()) return false;
  for (size_t i = 0; i < own.size(); ++i) {
    if (lower(own[i]) != lower(suffix[i])) return false;
  }
  return true;
}

int compare_names(std::string_view a, std::string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(lower(a[i]));
    const auto y = static_cast<unsigned char>(lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

std::string with_suffix(std::string_view path, std::string_view suffix) {
  path = without_trailing_separators(path);
  const size_t dot = suffix_dot(path);
  std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
  if (!suffix.empty() && suffix[0] == '.') suffix.remove_prefix(1);
  if (!suffix.empty()) out += "." + std::string(suffix);
  return out;
}

}  // namespace zorhost
