#include "browser_node.h"

#include <cstdio>
#include <utility>

#include "intro_sort.h"
#include "nexal/debugglobals.h"
#include "nexal/textformat.h"
#include "zor_memory.h"

namespace io_browser {

void BrowserNodeList::Append(OwnedObj<BrowserNode> owned) {
  if (owned == nullptr) return;
  BrowserNode* node = owned.release();
  node->list = this;
  node->next = nullptr;
  node->prev = last_;
  if (last_) {
    last_->next = node;
  } else {
    first_ = node;
  }
  last_ = node;
}

void BrowserNodeList::Clear() {
  BrowserNode* node = first_;
  first_ = nullptr;
  last_ = nullptr;
  while (node) {
    const OwnedObj<BrowserNode> doomed(node);
    node = node->next;
  }
}

bool IsListed(uint32_t attributes, bool showHidden) {
  return showHidden || (attributes & (nexal::kIoHidden | nexal::kIoDeleted)) == 0;
}

std::string NameText(const BrowserNode& node) {
  std::string text = node.isFolder ? "[DIR] " : "[FILE] ";
  text += node.name;
  if (!node.alternate.empty()) text += " <" + node.alternate + ">";
  static constexpr struct {
    uint32_t bit;
    const char* tag;
  } kTags[] = {{nexal::kIoDeleted, " [DELETED]"},
               {nexal::kIoHidden, " [HIDDEN]"},
               {nexal::kIoReadOnly, " [READONLY]"},
               {nexal::kIoBundle, " [BUNDLE]"},
               {nexal::kIoRevision, " [REV]"}};
  for (const auto& tag : kTags) {
    if (node.attributes & tag.bit) text += tag.tag;
  }
  return text;
}

std::string SizeText(int64_t size) {
  return size == -1 ? std::string() : std::to_string(size);
}

std::string DateTimeText(const nexal::DateTime& time) {
  if (time.year == 0 || time.month == 0 || time.day == 0) return std::string();
  char text[64];
  std::snprintf(text, sizeof text, "%02d.%02d.%d %02d:%02d:%02d", time.day, time.month,
                static_cast<int>(time.year), time.hour, time.minute, time.second);
  return text;
}

void SortInto(std::vector<OwnedObj<BrowserNode>>& nodes, BrowserNodeList& target) {
  IntroSort(nodes.data(), nodes.size(), [](const OwnedObj<BrowserNode>& a, const OwnedObj<BrowserNode>& b) {
    const int32_t byName = nexal::CompareText(a->name, b->name, 4);
    return byName != 0 ? byName : nexal::CompareText(a->alternate, b->alternate, 4);
  });
  for (OwnedObj<BrowserNode>& node : nodes) target.Append(std::move(node));
  nodes.clear();
}

void SortInto(std::vector<BrowserNode*>& nodes, BrowserNodeList& target) {
  std::vector<OwnedObj<BrowserNode>> owned;
  owned.reserve(nodes.size());
  for (BrowserNode* node : nodes) owned.emplace_back(node);
  nodes.clear();
  SortInto(owned, target);
}

namespace {

// A time the iterator cannot give stays zero; its error goes to the
// diagnostics.
void ReadTime(nexal::Error error, nexal::DateTime* time) {
  if (!error.Failed()) return;
  *time = nexal::DateTime();
  nexal::CoreOutputLine(nexal::OUTPUT_WARNING, error.Message(), __LINE__, __FILE__);
}

}  // namespace

void FillFromIterator(nexal::IoBrowse& iterator, bool showHidden, BrowserNodeList& target) {
  // Nodes not yet linked are given back if anything below throws.
  std::vector<OwnedObj<BrowserNode>> nodes;
  while (iterator.HasEntry()) {
    const uint32_t attributes = iterator.GetAttributes();
    if (IsListed(attributes, showHidden)) {
      OwnedObj<BrowserNode> owned = NewOwnedObj(BrowserNode);
      if (owned == nullptr) break;
      BrowserNode* node = owned.get();
      nodes.push_back(std::move(owned));
      node->url = iterator.GetUrl();
      node->name = node->url.GetName();
      node->alternate = iterator.GetAlternate();
      node->attributes = attributes;
      node->isFolder = (attributes & nexal::kIoFolder) ? 1 : 0;
      node->size = node->isFolder ? -1 : iterator.GetSize();
      ReadTime(iterator.GetModified(&node->modified), &node->modified);
      ReadTime(iterator.GetCreated(&node->created), &node->created);
    }
    if (iterator.Next().Failed()) break;
  }
  SortInto(nodes, target);
}

}  // namespace io_browser
