#include "symbol_header_file.h"

namespace {

// Bytes of one piece at most: the opening and closing pieces, and one symbol line.
constexpr int32_t kFramePieceLimit = 255;
constexpr int32_t kSymbolLineLimit = 1023;

}  // namespace

bool SymbolHeaderFile::Open(const Filename& name) {
  lineEnd_ = String::LineEnd();
  written_ = true;
  auto open = [&] {
    return file_.Open(name, ZOR_FILE_WRITE, 2, ZOR_BYTEORDER_MOTOROLA, FourCC("ZORC"), FourCC("ZOR1"));
  };
  if (open()) return true;
  // The forced delete is for a write-protected file; a folder of that name (which the host's forced
  // delete would remove with everything in it) is left alone, and the open then fails again.
  if (FileExists(name)) DeleteFile(name, ZOR_DELETE_FORCE);
  return open();
}

void SymbolHeaderFile::WritePiece(const String& text, int32_t limit) {
  char buffer[kSymbolLineLimit + 1];
  const int32_t length = text.GetCString(buffer, limit + 1, ZOR_STRING_UTF8);
  if (!file_.Write(buffer, length)) written_ = false;
}

void SymbolHeaderFile::WriteOpening() {
  WritePiece(String("enum {") + lineEnd_, kFramePieceLimit);
}

void SymbolHeaderFile::WriteSymbol(std::string_view name, int32_t value) {
  String line;
  line.SetCString(name.data(), static_cast<int32_t>(name.size()));
  line += "=";
  line += String::FromInt(value);
  line += ",";
  line += lineEnd_;
  WritePiece(line, kSymbolLineLimit);
}

void SymbolHeaderFile::WriteClosing() {
  WritePiece(String("TARPON_HEADERFILE_END_") + lineEnd_ + String("}") + lineEnd_, kFramePieceLimit);
}

bool SymbolHeaderFile::Close() {
  const bool closed = file_.Close();
  return closed && written_;
}
