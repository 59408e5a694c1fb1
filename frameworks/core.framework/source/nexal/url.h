// A location of the core framework's I/O layer, as the text the host resolves. Only the "file"
// scheme is made here.
#pragma once
#include <string>
#include <string_view>

namespace nexal {

class Url {
 public:
  Url() = default;
  // "file://" and the path, each byte other than letters, digits, "/", "-", ".", "_" and "~" written
  // as "%" and two upper-case hex digits, so that any path survives the trip.
  static Url FromPath(std::string_view path);

  const std::string& GetText() const { return _text; }
  bool IsEmpty() const { return _text.empty(); }

 private:
  std::string _text;
};

}  // namespace nexal
