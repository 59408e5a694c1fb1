// The URL forms of the core framework (described in nexal_records.h) as zorhost reads and writes them.
// Pure text work: nothing here touches a file.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorhost {

struct UrlParts {
  enum class Kind {
    Handlers,    // "handler://"
    SchemeRoot,  // "<scheme>://" of a scheme the host serves ("file://" lists the root folder)
    File,        // path: decoded, absolute, normalised ("/" for the root folder)
    Zip,         // inner: the archive's URL (canonical); path: inside it, no leading "/", "" at the top
    Other        // anything else, kept as it was given
  };
  Kind kind = Kind::Other;
  std::string scheme;  // lower case; "" when the text has none
  std::string path;
  std::string inner;
  std::string text;  // the canonical text
};

// Letters, digits, "/", "-", ".", "_" and "~" stay; every other byte becomes "%" and two upper-case hex
// digits.
std::string escape_url_path(std::string_view bytes);
// "%XX" decoded; nothing for a bad escape.
std::optional<std::string> unescape_url_path(std::string_view text);

UrlParts parse_url(std::string_view text);
std::string file_url(std::string_view path);  // canonical "file://" URL of a path
std::string zip_url(const std::string& archive_url, std::string_view path);

// The schemes the host's I/O handlers serve, in the order "handler://" lists them.
inline constexpr const char* kServedSchemes[] = {"file", "zip"};
bool serves_scheme(std::string_view scheme);

std::string url_name(const UrlParts& url);
std::string url_suffix(const UrlParts& url);
std::optional<std::string> url_parent(const UrlParts& url);  // canonical text
std::string url_append(const UrlParts& url, std::string_view name);
std::string url_with_suffix(const UrlParts& url, std::string_view suffix);
std::string url_directory(const UrlParts& url);
std::string url_root(const UrlParts& url);
bool url_is_root(const UrlParts& url);
std::string url_display(const UrlParts& url);

// The host's orders of texts (see NexalUrlInterface::compare_text): mode 0 bytes (UTF-8 orders like code
// points), 1 ASCII letters without case then bytes, 4 names as people read them. < 0, 0, > 0.
int32_t compare_text(std::string_view a, std::string_view b, int32_t mode);

}  // namespace zorhost
