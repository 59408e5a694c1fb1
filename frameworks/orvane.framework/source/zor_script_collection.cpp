#include "zor_script_collection.h"

#include "zor_host.h"

using Scripts = HostScriptTable;

ScriptItem ScriptItem::First(int32_t collection) {
  return ScriptItem(HostCall(nullptr, &Scripts::collection_first, collection));
}

ScriptItem ScriptItem::Next() const {
  if (_item == nullptr) return ScriptItem();
  return ScriptItem(HostCall(nullptr, &Scripts::collection_next, _item));
}

String ScriptItem::GetIdentifier() const {
  String identifier;
  if (_item != nullptr && identifier.Get()) HostCall(&Scripts::item_identifier, _item, identifier.Get());
  return identifier;
}

BaseContainer ScriptItem::GetData() const {
  if (_item == nullptr) return BaseContainer::Borrow(nullptr);
  return BaseContainer::Borrow(HostCall(nullptr, &Scripts::item_data, _item));
}

bool ScriptItem::WriteToFile(const Filename& name, int32_t fileId, HostDocument* doc) const {
  return _item != nullptr && !name.IsEmpty() &&
         HostCall(false, &Scripts::item_write, _item, name.Get(), fileId, doc);
}
