#include "url.h"

namespace nexal {
namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

Url Url::FromPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Url url;
  url._text.reserve(7 + path.size());
  url._text = "file://";
  for (const char byte : path) {
    const auto c = static_cast<unsigned char>(byte);
    if (Unreserved(c)) {
      url._text += byte;
    } else {
      url._text += '%';
      url._text += kHex[c >> 4];
      url._text += kHex[c & 15];
    }
  }
  return url;
}

}  // namespace nexal
