// A module may call any operation of any family; a null slot would crash it.
#include "app/host_table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Every family table is an int32 size field followed by function pointers.
// A family whose operations have not been declared yet has only its size field.
template <class Table>
void expect_every_slot_filled(const char* family, const Table* table) {
  ASSERT_NE(table, nullptr) << family;
  int32_t size = 0;
  std::memcpy(&size, table, sizeof size);
  ASSERT_EQ(size, static_cast<int32_t>(sizeof(Table)))
      << family << ": the size field must give the table's size";
  const auto* bytes = reinterpret_cast<const unsigned char*>(table);
  for (int32_t offset = sizeof(void*); offset + static_cast<int32_t>(sizeof(void*)) <= size;
       offset += sizeof(void*)) {
    void* slot = nullptr;
    std::memcpy(&slot, bytes + offset, sizeof slot);
    EXPECT_NE(slot, nullptr) << family << ": operation " << offset / sizeof(void*) - 1 << " is not filled";
  }
}

}  // namespace

TEST(HostTable, EveryOperationOfEveryFamilyIsFilled) {
  const HostFunctionTable table = zorhost::make_host_table(16050);
  EXPECT_EQ(table.version, 16050);
  EXPECT_EQ(table.size, static_cast<int32_t>(sizeof(HostFunctionTable)));
  expect_every_slot_filled("strings", table.strings);
  expect_every_slot_filled("memory", table.memory);
  expect_every_slot_filled("files", table.files);
  expect_every_slot_filled("containers", table.containers);
  expect_every_slot_filled("documents", table.documents);
  expect_every_slot_filled("render", table.render);
  expect_every_slot_filled("bitmaps", table.bitmaps);
  expect_every_slot_filled("gui", table.gui);
  expect_every_slot_filled("threads", table.threads);
  expect_every_slot_filled("plugins", table.plugins);
  expect_every_slot_filled("scripts", table.scripts);
  expect_every_slot_filled("general", table.general);
}
