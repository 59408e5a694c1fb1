// What a HostString is inside zorhost, for every service family that takes or gives text.
#pragma once
#include <string>
#include <string_view>

#include "zor_api.h"

struct HostString {
  std::u32string text;  // unicode code points
};

namespace zorhost {
std::string to_utf8(const HostString* s);  // null gives ""
std::string to_utf8(std::u32string_view text);
std::u32string from_utf8(std::string_view utf8);
HostString* new_host_string(std::string_view utf8);  // freed by the strings family's free
const HostStringTable* strings_table();
}  // namespace zorhost
