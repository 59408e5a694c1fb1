// The symbols of one distribution run: a fixed block of MAX_IDENTIFIER_ENTRIES (name, value) entries
// in the order they were accepted, the first two seeded, and a character tree over the names. The tree
// answers both questions the store asks of every symbol: is this name taken (the duplicate test) and,
// for a value text that did not evaluate, which stored name is the longest one in it (substitution),
// in time that depends on the text's length, not on the number of symbols.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "zor_array.h"

inline constexpr int32_t MAX_IDENTIFIER_ENTRIES = 50000;

class SymbolTable {
 public:
  SymbolTable() = default;
  SymbolTable(const SymbolTable&) = delete;
  SymbolTable& operator=(const SymbolTable&) = delete;
  ~SymbolTable() { Release(); }

  // The block and the two seeded entries "sizeof(Int16)" = 2 and "sizeof(PIX_F)" = 4; false when the
  // host has no memory for them.
  bool Create();
  void Release();

  // entries in use, the seeded ones included
  int32_t Count() const { return static_cast<int32_t>(entries_.Count()); }
  bool IsFull() const { return entries_.Count() >= MAX_IDENTIFIER_ENTRIES; }
  std::string_view Name(int32_t index) const;
  int32_t Value(int32_t index) const { return entries_[index].value; }

  // The entry of this name, or -1. Names are compared byte for byte in UTF-8, which is the host's
  // comparison (by code point, case-sensitive).
  int32_t Find(std::string_view name) const;
  // Appends an entry for a name that is not in the table yet; false when full or out of memory.
  bool Add(std::string_view name, int32_t value);

  // Symbol substitution: while some stored name occurs anywhere in text (a plain substring, not a
  // whole word), replaces the first occurrence of the longest such name (the earliest entry among
  // equally long ones) by the decimal text of its value. Answers whether anything was replaced.
  bool Substitute(std::string& text) const;

 private:
  struct Entry {
    int64_t nameOffset;
    int32_t nameLength;
    int32_t value;
  };
  struct Node {
    int32_t child;    // first node one byte further, -1 when none
    int32_t sibling;  // next node with the same parent, -1 when none
    int32_t entry;    // the entry whose name ends here, -1 when none
    uint8_t byte;
  };
  int32_t Walk(std::string_view name) const;  // the node that name ends at, or -1
  // the longest name in text from position start on: its entry, or -1 and best untouched
  void LongestAt(std::string_view text, std::size_t start, int32_t& bestEntry, std::size_t& bestLength,
                 std::size_t& bestPosition) const;

  HostArray<Entry> entries_;  // the fixed block, reserved whole
  HostArray<char> names_;
  HostArray<Node> nodes_;
  int32_t roots_[256] = {};  // the node of each first byte, -1 when none
};
