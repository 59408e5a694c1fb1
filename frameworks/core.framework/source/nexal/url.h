// A location of the core framework's I/O layer, as the text the host resolves ("file:///x/a.txt",
// "zip://file:///x/a.zip!/docs", "handler://"; the forms are described in nexal_records.h). A value type:
// copying copies the text. Every call that needs the host goes through "nexal.UrlInterface#1"; when the
// host left it unresolved the call reports that (see object.h) and answers its failure value.
#pragma once
#include <string>
#include <string_view>

#include "error.h"

namespace nexal {

class IoBrowse;
class InputStream;

class Url {
 public:
  Url() = default;
  // "file://" and the path, each byte other than letters, digits, "/", "-", ".", "_" and "~" written
  // as "%" and two upper-case hex digits, so that any path survives the trip. Made here, without the host.
  static Url FromPath(std::string_view path);
  // What the framework makes of any text; a text it cannot read stays as it is (calls on it then fail).
  static Url Parse(std::string_view text);
  // "handler://", the list of the host's I/O handlers.
  static Url Handlers();
  // The "zip" scheme around the URL of an archive: its top level.
  static Url InZip(const Url& archive);

  const std::string& GetText() const { return text_; }
  bool IsEmpty() const { return text_.empty(); }
  bool operator==(const Url& other) const { return text_ == other.text_; }

  std::string GetScheme() const;  // lower case, without "://"; "" when it has none
  std::string GetName() const;    // the last segment, decoded; a scheme root's name is its scheme
  std::string GetSuffix() const;  // of the name, without the dot
  // false when it has none: "handler://", a scheme root, the root folder. The top of an archive's
  // parent is the folder holding the archive.
  bool GetParent(Url* parent) const;
  Url Append(std::string_view name) const;  // one level down; the name is escaped

  Error Browse(IoBrowse* iterator) const;  // lists the children, one level
  Error OpenInput(InputStream* stream) const;

 private:
  friend class IoBrowse;
  explicit Url(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

}  // namespace nexal
