#include "symbol_table.h"

#include <cstdio>

#include "zor_memory.h"

namespace {

struct Seed {
  const char* name;
  int32_t value;
};
constexpr Seed kSeeds[] = {{"sizeof(Int16)", 2}, {"sizeof(PIX_F)", 4}};

}  // namespace

bool SymbolTable::Create() {
  Release();
  if (!entries_.Reserve(MAX_IDENTIFIER_ENTRIES)) return false;
  for (int32_t& root : roots_) root = -1;
  for (const Seed& seed : kSeeds) {
    if (!Add(seed.name, seed.value)) {
      Release();
      return false;
    }
  }
  return true;
}

void SymbolTable::Release() {
  entries_.Release();
  names_.Release();
  nodes_.Release();
  for (int32_t& root : roots_) root = -1;
}

std::string_view SymbolTable::Name(int32_t index) const {
  const Entry& entry = entries_[index];
  return std::string_view(names_.Data() + entry.nameOffset, static_cast<std::size_t>(entry.nameLength));
}

int32_t SymbolTable::Walk(std::string_view name) const {
  if (name.empty()) return -1;
  int32_t node = roots_[static_cast<uint8_t>(name[0])];
  for (std::size_t i = 1; node >= 0 && i < name.size(); ++i) {
    const auto byte = static_cast<uint8_t>(name[i]);
    int32_t child = nodes_[node].child;
    while (child >= 0 && nodes_[child].byte != byte) child = nodes_[child].sibling;
    node = child;
  }
  return node;
}

int32_t SymbolTable::Find(std::string_view name) const {
  const int32_t node = Walk(name);
  return node >= 0 ? nodes_[node].entry : -1;
}

bool SymbolTable::Add(std::string_view name, int32_t value) {
  if (entries_.Capacity() == 0 || IsFull() || name.empty()) return false;
  // The tree grows by at most one node per byte; make room first, so that a failure changes nothing.
  if (!nodes_.MakeRoom(static_cast<int64_t>(name.size())) ||
      !names_.MakeRoom(static_cast<int64_t>(name.size()))) {
    return false;
  }
  int32_t* link = &roots_[static_cast<uint8_t>(name[0])];
  int32_t node = -1;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<uint8_t>(name[i]);
    if (i > 0) link = &nodes_[node].child;
    while (*link >= 0 && nodes_[*link].byte != byte) link = &nodes_[*link].sibling;
    if (*link < 0) {
      *link = static_cast<int32_t>(nodes_.Count());
      nodes_.Push(Node{-1, -1, -1, byte});
    }
    node = *link;
  }
  if (nodes_[node].entry < 0) nodes_[node].entry = Count();
  entries_.Push(Entry{names_.Count(), static_cast<int32_t>(name.size()), value});
  names_.Append(name.data(), static_cast<int64_t>(name.size()));
  return true;
}

void SymbolTable::LongestAt(std::string_view text, std::size_t start, int32_t& bestEntry,
                            std::size_t& bestLength, std::size_t& bestPosition) const {
  int32_t node = roots_[static_cast<uint8_t>(text[start])];
  std::size_t end = start + 1;
  while (node >= 0) {
    const int32_t entry = nodes_[node].entry;
    const std::size_t length = end - start;
    // Longer wins; among equally long names the earlier entry; a name already found keeps its first
    // occurrence.
    if (entry >= 0 && (length > bestLength || (length == bestLength && entry < bestEntry))) {
      bestEntry = entry;
      bestLength = length;
      bestPosition = start;
    }
    if (end == text.size()) break;
    const auto byte = static_cast<uint8_t>(text[end]);
    int32_t child = nodes_[node].child;
    while (child >= 0 && nodes_[child].byte != byte) child = nodes_[child].sibling;
    node = child;
    ++end;
  }
}

bool SymbolTable::Substitute(std::string& text) const {
  bool replaced = false;
  for (;;) {
    int32_t bestEntry = -1;
    std::size_t bestLength = 0;
    std::size_t bestPosition = 0;
    for (std::size_t start = 0; start < text.size(); ++start)
      LongestAt(text, start, bestEntry, bestLength, bestPosition);
    if (bestEntry < 0) return replaced;
    char digits[16];
    const int written = std::snprintf(digits, sizeof digits, "%d", static_cast<int>(Value(bestEntry)));
    text.replace(bestPosition, bestLength, digits, static_cast<std::size_t>(written));
    replaced = true;
  }
}
