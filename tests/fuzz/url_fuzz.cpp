// URL parsing and everything derived from a parsed URL, on arbitrary text, with the two promises of the
// URL forms checked. The first byte picks the comparison mode for the text against its canonical form.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/url_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const zorhost::UrlParts url = zorhost::parse_url(text);
  zorhost::url_name(url);
  zorhost::url_suffix(url);
  zorhost::url_parent(url);
  zorhost::url_append(url, "name.txt");
  zorhost::url_with_suffix(url, "tif");
  zorhost::url_directory(url);
  zorhost::url_root(url);
  zorhost::url_is_root(url);
  zorhost::url_display(url);
  // The canonical text reads back as itself, and escaping is undone by unescaping.
  if (zorhost::parse_url(url.text).text != url.text) {
    std::fprintf(stderr, "canonical text \"%s\" reads back as \"%s\"\n", url.text.c_str(),
                 zorhost::parse_url(url.text).text.c_str());
    std::abort();
  }
  if (zorhost::unescape_url_path(zorhost::escape_url_path(text)) != std::string(text)) std::abort();
  if (const auto bytes = zorhost::unescape_url_path(text)) zorhost::escape_url_path(*bytes);
  const int32_t modes[] = {0, 1, 4};
  zorhost::compare_text(text, url.text, modes[size > 0 ? data[0] % 3 : 0]);
  return 0;
}
