#include "literal_scanner.h"

namespace translator_locator {
namespace {

// The source line read so far, cut at kLineBufferBytes.
class LineBuffer {
 public:
  void Add(char byte) {
    if (byte != '\t' && length_ < kLineBufferBytes) bytes_[length_++] = byte;
  }
  void Clear() { length_ = 0; }
  std::string_view View() const { return std::string_view(bytes_, length_); }

 private:
  char bytes_[kLineBufferBytes + 1];
  size_t length_ = 0;
};

bool IsLineEnd(char byte) {
  return byte == '\r' || byte == '\n';
}

char Lower(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

}  // namespace

void ScanSource(std::string_view source, const LiteralVisitor& visit) {
  LineBuffer line;
  bool lineComment = false;
  const size_t size = source.size();
  size_t i = 0;
  while (i < size) {
    const char byte = source[i];
    if (IsLineEnd(byte)) {
      line.Clear();
      lineComment = false;
      ++i;
      continue;
    }
    if (byte == '\t') {
      ++i;
      continue;
    }
    if (byte == '/' && i > 0 && source[i - 1] == '/') {
      lineComment = true;
      ++i;
      continue;
    }
    line.Add(byte);
    ++i;
    if (byte != '"' || lineComment) continue;

    // a literal: up to a quote not preceded by a backslash, a line end or the end of the bytes
    const size_t start = i;
    while (i < size) {
      const char inside = source[i];
      if (IsLineEnd(inside) || (inside == '"' && source[i - 1] != '\\')) break;
      line.Add(inside);
      ++i;
    }
    const std::string_view literal = source.substr(start, i - start);
    visit(literal, line.View());
    if (i < size && IsLineEnd(source[i])) line.Clear();
    if (i < size) ++i;  // the closing quote or the line end
  }
}

std::string LowerLiteral(std::string_view literal) {
  std::string lowered(literal);
  for (char& byte : lowered) byte = Lower(byte);
  return lowered;
}

bool IsListedLiteral(std::string_view lowered, const std::function<bool(std::string_view)>& isHeaderName) {
  if (lowered.empty()) return false;
  bool letter = false;
  for (size_t i = 0; i < lowered.size(); ++i) {
    const char byte = lowered[i];
    if (byte >= 'a' && byte <= 'z') letter = true;
    if (byte == '\\' && i + 1 < lowered.size() && (lowered[i + 1] == '"' || lowered[i + 1] == 'x'))
      return false;
  }
  return letter && !isHeaderName(lowered);
}

std::string ListingLine(std::string_view lowered, std::string_view line) {
  std::string text(lowered);
  size_t characters = 0;
  for (const char byte : lowered) {
    if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) ++characters;
  }
  if (characters < kLiteralColumn) text.append(kLiteralColumn - characters, ' ');
  text.append(line);
  return text;
}

}  // namespace translator_locator
