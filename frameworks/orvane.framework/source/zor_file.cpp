#include "zor_file.h"

#include <utility>

#include "zor_host.h"

bool FileExists(const Filename& name) {
  auto exists = ZOR_FILES(exists);
  return exists && !name.IsEmpty() && exists(name.Get(), ZOR_EXISTS_FILE);
}

bool FolderExists(const Filename& name) {
  auto exists = ZOR_FILES(exists);
  return exists && !name.IsEmpty() && exists(name.Get(), ZOR_EXISTS_FOLDER);
}

bool CreateFolder(const Filename& name) {
  auto create_folder = ZOR_FILES(create_folder);
  return create_folder && !name.IsEmpty() && create_folder(name.Get());
}

bool DeleteFile(const Filename& name, int32_t flags) {
  auto delete_file = ZOR_FILES(delete_file);
  return delete_file && !name.IsEmpty() && delete_file(name.Get(), flags);
}

Filename StartupFolder() {
  Filename result;
  auto startup_folder = ZOR_FILES(startup_folder);
  if (startup_folder && result.Get()) startup_folder(result.Get());
  return result;
}

bool FolderById(int32_t id, Filename& out) {
  auto folder_by_id = ZOR_FILES(folder_by_id);
  return folder_by_id && out.Get() && folder_by_id(id, out.Get());
}

bool GetFolderIdentity(const Filename& folder, FolderIdentity& out) {
  auto folder_identity = ZOR_FILES(folder_identity);
  return folder_identity && !folder.IsEmpty() && folder_identity(folder.Get(), &out.device, &out.inode);
}

// --- BaseFile ---

BaseFile::BaseFile(BaseFile&& other) noexcept
    : _file(std::exchange(other._file, nullptr)), _open(std::exchange(other._open, false)) {}

BaseFile& BaseFile::operator=(BaseFile&& other) noexcept {
  if (this != &other) {
    BaseFile discarded(std::move(*this));
    _file = std::exchange(other._file, nullptr);
    _open = std::exchange(other._open, false);
  }
  return *this;
}

BaseFile::~BaseFile() {
  Close();
  if (_file == nullptr) return;
  if (auto file_free = ZOR_FILES(file_free)) file_free(_file);
}

bool BaseFile::Allocate() {
  if (_file == nullptr) {
    if (auto file_alloc = ZOR_FILES(file_alloc)) _file = file_alloc();
  }
  return _file != nullptr;
}

bool BaseFile::Open(const Filename& name, int32_t mode, int32_t errorDialog, int32_t byteOrder, uint32_t type,
                    uint32_t creator) {
  Close();
  auto file_open = ZOR_FILES(file_open);
  if (!Allocate() || file_open == nullptr || name.Get() == nullptr) return false;
  _open = file_open(_file, name.Get(), mode, errorDialog, byteOrder, type, creator);
  return _open;
}

bool BaseFile::Close() {
  if (!_open) return true;
  _open = false;
  auto file_close = ZOR_FILES(file_close);
  return file_close && file_close(_file);
}

int64_t BaseFile::GetLength() const {
  auto file_length = ZOR_FILES(file_length);
  return _open && file_length ? file_length(_file) : 0;
}

int64_t BaseFile::GetPosition() const {
  auto file_position = ZOR_FILES(file_position);
  return _open && file_position ? file_position(_file) : 0;
}

bool BaseFile::Seek(int64_t position) {
  auto file_seek = ZOR_FILES(file_seek);
  return _open && file_seek && file_seek(_file, position);
}

bool BaseFile::Read(void* buffer, int64_t length) {
  auto file_read = ZOR_FILES(file_read);
  if (length == 0) return _open;
  return _open && buffer && length > 0 && file_read && file_read(_file, buffer, length);
}

bool BaseFile::Write(const void* buffer, int64_t length) {
  auto file_write = ZOR_FILES(file_write);
  if (length == 0) return _open;
  return _open && buffer && length > 0 && file_write && file_write(_file, buffer, length);
}

// --- BrowseFiles ---

BrowseFiles::BrowseFiles(BrowseFiles&& other) noexcept : _browse(std::exchange(other._browse, nullptr)) {}

BrowseFiles& BrowseFiles::operator=(BrowseFiles&& other) noexcept {
  if (this != &other) {
    Reset();
    _browse = std::exchange(other._browse, nullptr);
  }
  return *this;
}

BrowseFiles::~BrowseFiles() {
  Reset();
}

void BrowseFiles::Reset() {
  if (_browse == nullptr) return;
  if (auto browse_free = ZOR_FILES(browse_free)) browse_free(_browse);
  _browse = nullptr;
}

bool BrowseFiles::Init(const Filename& folder, int32_t flags) {
  Reset();
  auto browse_open = ZOR_FILES(browse_open);
  if (browse_open == nullptr || folder.IsEmpty()) return false;
  _browse = browse_open(folder.Get(), flags);
  return _browse != nullptr;
}

bool BrowseFiles::GetNext() {
  auto browse_next = ZOR_FILES(browse_next);
  return _browse && browse_next && browse_next(_browse);
}

Filename BrowseFiles::GetFilename() const {
  Filename result;
  auto browse_name = ZOR_FILES(browse_name);
  if (_browse && browse_name && result.Get()) browse_name(_browse, result.Get());
  return result;
}

bool BrowseFiles::IsFolder() const {
  auto browse_is_folder = ZOR_FILES(browse_is_folder);
  return _browse && browse_is_folder && browse_is_folder(_browse);
}

bool BrowseFiles::IsLink() const {
  auto browse_is_link = ZOR_FILES(browse_is_link);
  return _browse && browse_is_link && browse_is_link(_browse);
}

int64_t BrowseFiles::GetSize() const {
  auto browse_size = ZOR_FILES(browse_size);
  return _browse && browse_size ? browse_size(_browse) : 0;
}

int64_t BrowseFiles::GetTime() const {
  auto browse_time = ZOR_FILES(browse_time);
  return _browse && browse_time ? browse_time(_browse) : 0;
}
