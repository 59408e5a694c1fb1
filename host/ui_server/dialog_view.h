// The dialog model as the page sees it: JSON views of the open dialogs, a tree view's rows by the page,
// a bitmap button's image, and the folders of the chooser. The model is the main thread's: every view of
// it is made there; only the finished JSON or pixels leave it.
#pragma once
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "bitmaps/bitmap_impl.h"

namespace zorhost::ui {

// The open dialogs in opening order (main thread).
nlohmann::json dialogs_view();

// Rows [from, from + count) of the tree view of gadget `gadget` in the open dialog `dialog`; count is cut
// to kTreePage. Nothing, with the reason, when there is no such tree (main thread).
inline constexpr int32_t kTreePage = 1000;
std::optional<nlohmann::json> tree_rows_view(uint64_t dialog, int32_t gadget, int64_t from, int64_t count,
                                             std::string* problem);

// A copy of a bitmap button's image (main thread).
std::optional<HostBitmap> gadget_image(uint64_t dialog, int32_t gadget, std::string* problem);

// The image as a BMP file: every browser shows it and it needs no encoder (any thread).
std::string bmp_file(const HostBitmap& bitmap);

// A folder of this machine for the chooser: folders first, then files, each by name. Nothing, with the
// reason, when it cannot be listed (any thread).
std::optional<nlohmann::json> folder_view(const std::filesystem::path& folder, std::string* problem);

}  // namespace zorhost::ui
