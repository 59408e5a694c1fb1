// The script symbol header "tarponsymbols.h": an enum body whose enumerators carry explicit values,
//   enum {
//   NAME=123,
//   TARPON_HEADERFILE_END_
//   }
// with the host's line end after every line.
#pragma once
#include <cstdint>
#include <string_view>

#include "symbol_store.h"
#include "zor_file.h"
#include "zor_string.h"

class SymbolHeaderFile : public SymbolOutput {
 public:
  // Opens the file for writing; when that fails and a file of that name exists, deletes it with force
  // (a write-protected file) and tries once more.
  bool Open(const Filename& name);
  void WriteOpening();
  void WriteSymbol(std::string_view name, int32_t value) override;
  void WriteClosing();
  // true when every write and the close succeeded, so the file stands complete under its name
  bool Close();

 private:
  void WritePiece(const String& text, int32_t limit);

  BaseFile file_;
  String lineEnd_;
  bool written_ = true;
};
