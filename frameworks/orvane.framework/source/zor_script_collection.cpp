#include "zor_script_collection.h"

#include "zor_host.h"

using Scripts = HostScriptTable;

ScriptItem ScriptItem::First(int32_t collection) {
  return ScriptItem(HostCall(nullptr, &Scripts::collection_first, collection));
}

ScriptItem ScriptItem::Next() const {
  if (item_ == nullptr) return ScriptItem();
  return ScriptItem(HostCall(nullptr, &Scripts::collection_next, item_));
}

String ScriptItem::GetIdentifier() const {
  String identifier;
  if (item_ != nullptr && identifier.Get()) HostCall(&Scripts::item_identifier, item_, identifier.Get());
  return identifier;
}

BaseContainer ScriptItem::GetData() const {
  if (item_ == nullptr) return BaseContainer::Borrow(nullptr);
  return BaseContainer::Borrow(HostCall(nullptr, &Scripts::item_data, item_));
}

bool ScriptItem::WriteToFile(const Filename& name, int32_t fileId, HostDocument* doc) const {
  return item_ != nullptr && !name.IsEmpty() &&
         HostCall(false, &Scripts::item_write, item_, name.Get(), fileId, doc);
}
