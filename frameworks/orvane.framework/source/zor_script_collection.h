// The host's script collections: a borrowed view of one script item and the walk over a collection.
#pragma once
#include <cstdint>

#include "zor_container.h"
#include "zor_filename.h"

// One script of a host script collection. The item belongs to the host; this is only a view of it, so
// copies are cheap and nothing is freed. A view without an item (the end of a walk) is not valid.
class ScriptItem {
 public:
  ScriptItem() = default;
  explicit ScriptItem(HostScriptItem* item) : item_(item) {}

  // The first item of collection ZOR_SCRIPT_COLLECTION_USER or _APPLICATION; not valid when empty.
  static ScriptItem First(int32_t collection);
  // The item after this one in its collection; not valid after the last.
  ScriptItem Next() const;

  bool IsValid() const { return item_ != nullptr; }

  String GetIdentifier() const;
  // The item's own container, borrowed: changes go into the script in the host. Not valid when the
  // item has none.
  BaseContainer GetData() const;
  // Writes the script into name with the file identifier; false when it could not be written.
  bool WriteToFile(const Filename& name, int32_t fileId = ZOR_SCRIPT_FILE_ID,
                   HostDocument* doc = nullptr) const;

  HostScriptItem* Get() const { return item_; }

 private:
  HostScriptItem* item_ = nullptr;
};
