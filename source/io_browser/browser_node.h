// The entries the I/O handler browser lists: one BrowserNode per entry below
// the current location, in an intrusive list that owns its nodes, and the texts
// the tree view shows for them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "nexal/iostreams.h"
#include "nexal/url.h"
#include "zor_memory.h"

namespace io_browser {

struct BrowserNode;

// A doubly linked list that owns its nodes (made with NewOwnedObj, given back
// on Clear and destruction).
class BrowserNodeList {
 public:
  BrowserNodeList() = default;
  BrowserNodeList(const BrowserNodeList&) = delete;
  BrowserNodeList& operator=(const BrowserNodeList&) = delete;
  ~BrowserNodeList() { Clear(); }

  BrowserNode* First() const { return first_; }
  BrowserNode* Last() const { return last_; }
  bool IsEmpty() const { return first_ == nullptr; }
  // The node must not be in a list.
  void Append(OwnedObj<BrowserNode> node);
  void Clear();

 private:
  BrowserNode* first_ = nullptr;
  BrowserNode* last_ = nullptr;
};

struct BrowserNode {
  BrowserNode* prev = nullptr;
  BrowserNode* next = nullptr;
  BrowserNodeList* list = nullptr;  // the list that owns it
  BrowserNodeList children;         // the browser lists one level: always empty
  std::string name;                 // the name part of the url, decoded
  std::string alternate;            // the iterator's second text; may be empty
  nexal::Url url;
  uint32_t attributes = 0;  // nexal::IoAttribute bits
  int64_t size = -1;        // -1 for folders
  nexal::DateTime created;
  nexal::DateTime modified;
  int32_t isFolder = 0;
  int32_t selected = 0;
};

// Whether an entry with these attributes is listed: hidden and deleted entries
// only when shown.
bool IsListed(uint32_t attributes, bool showHidden);

// The tree column's text: "[DIR] " or "[FILE] ", the name, " <alternate>" when
// there is one, then a tag for each of the attributes deleted, hidden,
// read-only, bundle and revision, in that order.
std::string NameText(const BrowserNode& node);
// The size column: the byte count, or nothing for -1.
std::string SizeText(int64_t size);
// The date columns: DD.MM.YYYY hh:mm:ss, or nothing when the year, month or day
// is 0.
std::string DateTimeText(const nexal::DateTime& time);

// Orders the nodes by name, ties by alternate, both compared with the
// framework's text comparison (mode 4), then links them in that order into
// target, which takes them over.
void SortInto(std::vector<OwnedObj<BrowserNode>>& nodes, BrowserNodeList& target);
// The same for nodes made with NewObj.
void SortInto(std::vector<BrowserNode*>& nodes, BrowserNodeList& target);

// Fills target from the iterator's remaining entries (see IsListed); a date
// that cannot be read is reported as a diagnostic line and stays zero.
void FillFromIterator(nexal::IoBrowse& iterator, bool showHidden, BrowserNodeList& target);

}  // namespace io_browser
