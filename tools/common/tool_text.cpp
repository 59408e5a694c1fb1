#include "tool_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace relkit_tools {

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  char escape[16];
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = byte(i);
    // the length of a sequence this lead byte begins, and the least and largest code point it may hold
    size_t length = 0;
    uint32_t code = 0, least = 0;
    if (lead < 0x80) {
      length = 1, code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07u, least = 0x10000;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (byte(i + k) & 0xC0) == 0x80;
      code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    valid = valid && code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      std::snprintf(escape, sizeof escape, "\\x%02X", lead);
      out += escape;
      ++i;
      continue;
    }
    if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code == 0xFFFE || code == 0xFFFF) {
      std::snprintf(escape, sizeof escape, "\\u%04X", unsigned(code));
      out += escape;
    } else {
      out.append(text, i, length);
    }
    i += length;
  }
  return out;
}

std::string MarkupEscaped(const std::string& raw) {
  const std::string text = Printable(raw);
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool WriteFileAtomically(const std::filesystem::path& file, const std::string& text, std::string& error) {
  std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = file.string() + ": cannot be written (" + std::strerror(errno) + ")";
    return false;
  }
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += size_t(n);
  }
  const int cause = written < text.size() ? (errno ? errno : EIO) : ::fsync(fd) != 0 ? errno : 0;
  ::close(fd);
  if (cause == 0 && ::rename(temporary.c_str(), file.c_str()) == 0) return true;
  error = file.string() + ": cannot be written (" + std::strerror(cause ? cause : errno) + ")";
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace relkit_tools
