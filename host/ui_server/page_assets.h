// The page's files, built into zorhost from host/ui_server/page (page_assets.cmake), so that an installed
// zorhost serves its page without a folder to find and nothing is fetched from a network.
#pragma once
#include <string_view>

namespace zorhost::ui {

// The file's bytes, or an empty view when the page has no such file.
std::string_view page_asset(std::string_view name);

}  // namespace zorhost::ui
