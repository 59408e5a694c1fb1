#include "textformat.h"

#include "hostcalls.h"

namespace nexal {

int32_t CompareText(std::string_view a, std::string_view b, int32_t mode) {
  const NexalUrlInterface* url = detail::UrlInterface();
  if (url != nullptr && url->compare_text != nullptr)
    return url->compare_text(a.data(), static_cast<int64_t>(a.size()), b.data(),
                             static_cast<int64_t>(b.size()), mode);
  const int order = a.compare(b);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

std::string FormatMessage(std::string_view pattern, std::string_view argument) {
  std::string text;
  text.reserve(pattern.size() + argument.size());
  for (const char c : pattern) {
    if (c == '@')
      text += argument;
    else
      text += c;
  }
  return text;
}

}  // namespace nexal
