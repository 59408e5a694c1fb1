#include "core/url_text.h"

#include <algorithm>
#include <vector>

#include "files/path_text.h"

namespace zorhost {
namespace {

constexpr std::string_view kSeparator = "://";
constexpr std::string_view kArchiveSeparator = "!/";
constexpr int kMaxArchiveNesting = 16;

bool unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::vector<std::string_view> segments(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  while (at <= path.size()) {
    const size_t end = std::min(path.find('/', at), path.size());
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

// An absolute file path without empty and "." segments, ".." resolved ("/.." is "/"), no closing "/".
// A drive path ("C:/x") keeps its drive as the first segment.
std::string normal_file_path(std::string_view raw) {
  std::string path(raw);
  std::replace(path.begin(), path.end(), '\\', '/');
  const bool drive = has_drive(path);
  std::vector<std::string_view> kept;
  for (const std::string_view part :
       segments(drive ? std::string_view(path).substr(2) : std::string_view(path))) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  std::string normal = drive ? path.substr(0, 2) : std::string();
  for (const std::string_view part : kept) {
    normal += '/';
    normal += part;
  }
  return normal.empty() || (drive && normal.size() == 2) ? normal + "/" : normal;
}

// A path inside an archive: segments as they are, joined with "/", no leading or closing "/". "." and
// ".." are names an archive may hold like any other: resolving them would hide or rename such entries,
// and a ".." must never lead out of the archive.
std::string normal_archive_path(std::string_view raw) {
  std::string normal;
  for (const std::string_view part : segments(raw)) {
    if (!normal.empty()) normal += '/';
    normal += part;
  }
  return normal;
}

std::string last_segment(std::string_view path) {
  const std::vector<std::string_view> parts = segments(path);
  return parts.empty() ? std::string() : std::string(parts.back());
}

// The path without its last segment ("" or "/" when there is only one).
std::string without_last(std::string_view path, bool absolute) {
  const size_t cut = path.rfind('/');
  if (cut == std::string_view::npos || cut == 0) return absolute ? "/" : "";
  return std::string(path.substr(0, cut));
}

UrlParts other(std::string_view text, std::string scheme) {
  UrlParts url;
  url.kind = UrlParts::Kind::Other;
  url.scheme = std::move(scheme);
  url.text = std::string(text);
  return url;
}

UrlParts file_parts(std::string path) {
  UrlParts url;
  url.kind = UrlParts::Kind::File;
  url.scheme = "file";
  url.path = normal_file_path(path);
  url.text = "file://" + escape_url_path(url.path);
  return url;
}

UrlParts scheme_root(std::string scheme) {
  UrlParts url;
  url.kind = UrlParts::Kind::SchemeRoot;
  url.text = scheme + std::string(kSeparator);
  url.scheme = std::move(scheme);
  return url;
}

// numbers in names: a run of digits compared by value (leading zeros do not count), then by length
int compare_digit_runs(std::string_view a, size_t& i, std::string_view b, size_t& j) {
  size_t ai = i, bj = j;
  while (ai < a.size() && a[ai] == '0') ++ai;
  while (bj < b.size() && b[bj] == '0') ++bj;
  size_t ae = ai, be = bj;
  while (ae < a.size() && a[ae] >= '0' && a[ae] <= '9') ++ae;
  while (be < b.size() && b[be] >= '0' && b[be] <= '9') ++be;
  int order = 0;
  if (ae - ai != be - bj) {
    order = ae - ai < be - bj ? -1 : 1;
  } else {
    const int c = a.substr(ai, ae - ai).compare(b.substr(bj, be - bj));
    order = c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  i = ae;
  j = be;
  return order;
}

int sign(int value) {
  return value < 0 ? -1 : value > 0 ? 1 : 0;
}

}  // namespace

namespace {
UrlParts parse_nested(std::string_view text, int depth);
}  // namespace

std::string escape_url_path(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (unreserved(c)) {
      text += byte;
    } else {
      text += '%';
      text += kHex[c >> 4];
      text += kHex[c & 15];
    }
  }
  return text;
}

std::optional<std::string> unescape_url_path(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hex_value(text[i + 1]);
    const int low = hex_value(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return bytes;
}

std::string file_url(std::string_view path) {
  return file_parts(std::string(path)).text;
}

std::string zip_url(const std::string& archive_url, std::string_view path) {
  return "zip://" + archive_url + std::string(kArchiveSeparator) + escape_url_path(normal_archive_path(path));
}

bool serves_scheme(std::string_view scheme) {
  return std::any_of(std::begin(kServedSchemes), std::end(kServedSchemes),
                     [&](const char* served) { return scheme == served; });
}

UrlParts parse_url(std::string_view text) {
  return parse_nested(text, 0);
}

namespace {

UrlParts parse_nested(std::string_view text, int depth) {
  if (text.starts_with('/') || has_drive(text)) return file_parts(std::string(text));
  const size_t separator = text.find(kSeparator);
  if (separator == std::string_view::npos || separator == 0) return other(text, "");
  std::string scheme;
  for (const char c : text.substr(0, separator)) {
    const char l = lower(c);
    if (!((l >= 'a' && l <= 'z') || (l >= '0' && l <= '9') || l == '+' || l == '-' || l == '.'))
      return other(text, "");
    scheme += l;
  }
  const std::string_view rest = text.substr(separator + kSeparator.size());
  if (scheme == "handler") {
    if (!rest.empty()) return other(text, scheme);
    UrlParts url;
    url.kind = UrlParts::Kind::Handlers;
    url.scheme = scheme;
    url.text = "handler://";
    return url;
  }
  if (!serves_scheme(scheme)) return other(text, scheme);
  if (rest.empty()) return scheme_root(scheme);
  if (scheme == "file") {
    const std::optional<std::string> path = unescape_url_path(rest);
    // a zero byte would cut the path short where the file system reads it
    if (!path || !(path->starts_with('/') || has_drive(*path)) || path->find('\0') != std::string::npos)
      return other(text, scheme);
    return file_parts(*path);
  }
  // zip: the archive's URL, then the path inside it after the last "!/"
  const size_t cut = rest.rfind(kArchiveSeparator);
  const std::string_view archive = cut == std::string_view::npos ? rest : rest.substr(0, cut);
  const std::string_view inside = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 2);
  // archives nest, but not without end: a typed text must not run the parser out of stack
  if (depth >= kMaxArchiveNesting) return other(text, scheme);
  const UrlParts inner = parse_nested(archive, depth + 1);
  const std::optional<std::string> path = unescape_url_path(inside);
  if ((inner.kind != UrlParts::Kind::File && inner.kind != UrlParts::Kind::Zip) || !path)
    return other(text, scheme);
  UrlParts url;
  url.kind = UrlParts::Kind::Zip;
  url.scheme = scheme;
  url.inner = inner.text;
  url.path = normal_archive_path(*path);
  url.text = zip_url(url.inner, url.path);
  return url;
}

}  // namespace

std::string url_name(const UrlParts& url) {
  switch (url.kind) {
    case UrlParts::Kind::Handlers:
    case UrlParts::Kind::SchemeRoot:
      return url.scheme;
    case UrlParts::Kind::File:
      return url.path == "/" ? "/" : last_segment(url.path);
    case UrlParts::Kind::Zip:
      return url.path.empty() ? url_name(parse_url(url.inner)) : last_segment(url.path);
    case UrlParts::Kind::Other:
      break;
  }
  const size_t separator = url.text.find(kSeparator);
  const std::string_view rest = separator == std::string::npos
                                    ? std::string_view(url.text)
                                    : std::string_view(url.text).substr(separator + 3);
  const std::string name = last_segment(rest);
  return unescape_url_path(name).value_or(name);
}

std::string url_suffix(const UrlParts& url) {
  const std::string name = url_name(url);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

std::optional<std::string> url_parent(const UrlParts& url) {
  switch (url.kind) {
    case UrlParts::Kind::File:
      if (url.path == "/" || (has_drive(url.path) && url.path.size() <= 3)) return std::nullopt;
      return file_url(without_last(url.path, true));
    case UrlParts::Kind::Zip:
      if (url.path.empty()) return url_parent(parse_url(url.inner));
      return zip_url(url.inner, without_last(url.path, false));
    default:
      return std::nullopt;
  }
}

std::string url_append(const UrlParts& url, std::string_view name) {
  switch (url.kind) {
    case UrlParts::Kind::Handlers:
      return parse_url(std::string(name) + "://").text;
    case UrlParts::Kind::SchemeRoot:
      if (url.scheme == "file") return file_url("/" + std::string(name));
      return url.text + escape_url_path(name);
    case UrlParts::Kind::File:
      return file_url(url.path + "/" + std::string(name));
    case UrlParts::Kind::Zip:
      return zip_url(url.inner, url.path + "/" + std::string(name));
    case UrlParts::Kind::Other:
      break;
  }
  return url.text + (url.text.ends_with('/') ? "" : "/") + escape_url_path(name);
}

std::string url_with_suffix(const UrlParts& url, std::string_view suffix) {
  switch (url.kind) {
    case UrlParts::Kind::File:
      if (url.path == "/") return url.text;
      return file_url(with_suffix(url.path, suffix));
    case UrlParts::Kind::Zip:
      if (url.path.empty()) return url.text;
      return zip_url(url.inner, with_suffix(url.path, suffix));
    default:
      return url.text;
  }
}

std::string url_directory(const UrlParts& url) {
  switch (url.kind) {
    case UrlParts::Kind::File:
      return file_url(without_last(url.path, true));
    case UrlParts::Kind::Zip:
      return zip_url(url.inner, without_last(url.path, false));
    default:
      return url.text;
  }
}

std::string url_root(const UrlParts& url) {
  switch (url.kind) {
    case UrlParts::Kind::File:
      return has_drive(url.path) ? file_url(url.path.substr(0, 2) + "/") : file_url("/");
    case UrlParts::Kind::Zip:
      return zip_url(url.inner, "");
    default:
      return url.text;
  }
}

bool url_is_root(const UrlParts& url) {
  switch (url.kind) {
    case UrlParts::Kind::Handlers:
    case UrlParts::Kind::SchemeRoot:
      return true;
    case UrlParts::Kind::File:
    case UrlParts::Kind::Zip:
      return url_root(url) == url.text;
    case UrlParts::Kind::Other:
      break;
  }
  return false;
}

std::string url_display(const UrlParts& url) {
  switch (url.kind) {
    case UrlParts::Kind::File:
      return url.path;
    case UrlParts::Kind::Zip:
      return url_display(parse_url(url.inner)) + "!/" + url.path;
    default:
      return unescape_url_path(url.text).value_or(url.text);
  }
}

int32_t compare_text(std::string_view a, std::string_view b, int32_t mode) {
  if (mode == 0) return sign(a.compare(b));
  if (mode == 1) {
    const int folded = compare_names(a, b);
    return folded != 0 ? sign(folded) : sign(a.compare(b));
  }
  if (mode != 4) return 0;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const bool digit_a = a[i] >= '0' && a[i] <= '9';
    const bool digit_b = b[j] >= '0' && b[j] <= '9';
    if (digit_a && digit_b) {
      if (const int order = compare_digit_runs(a, i, b, j); order != 0) return order;
      continue;
    }
    const auto ca = static_cast<unsigned char>(lower(a[i]));
    const auto cb = static_cast<unsigned char>(lower(b[j]));
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  // equal as people read them ("a1" and "A01"): the texts themselves decide, so the order is total
  return sign(a.compare(b));
}

}  // namespace zorhost
