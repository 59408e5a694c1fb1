// "nexal.IoASCIIParserInterface#1": the core framework's text tokenizer (core/text_tokenizer.h) as the
// module reaches it through its reference.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "nexal_records.h"

namespace zorhost {

const NexalTextParserInterface* text_parser_interface();

// The path of a "file://" URL with its %XX escapes decoded; nothing for another scheme or a bad escape.
std::optional<std::string> path_of_file_url(std::string_view url);

}  // namespace zorhost
