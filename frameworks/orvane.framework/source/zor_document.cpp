#include "zor_document.h"

#include <utility>

#include "zor_bitmap.h"
#include "zor_container.h"
#include "zor_filename.h"
#include "zor_host.h"

using Documents = HostDocumentTable;

BaseVideoPost BaseVideoPost::GetNext() const {
  return BaseVideoPost(post_ ? HostCall(nullptr, &Documents::next_video_post, post_) : nullptr);
}

int32_t BaseVideoPost::GetType() const {
  return post_ ? HostCall(0, &Documents::video_post_type, post_) : 0;
}

int32_t BaseVideoPost::GetFlags() const {
  return post_ ? HostCall(0, &Documents::video_post_flags, post_) : 0;
}

void BaseVideoPost::SetFlags(int32_t flags) {
  if (post_) HostCall(&Documents::set_video_post_flags, post_, flags);
}

BaseContainer BaseVideoPost::GetDataInstance() const {
  return BaseContainer::Borrow(post_ ? HostCall(nullptr, &Documents::video_post_container, post_) : nullptr);
}

bool BaseVideoPost::SetParameterInt(int32_t id, int32_t value, int32_t flags) {
  return post_ && HostCall(false, &Documents::set_video_post_parameter_int, post_, id, value, flags);
}

BaseContainer RenderData::GetDataCopy() const {
  HostContainer* live = data_ ? HostCall(nullptr, &Documents::render_data_container, data_) : nullptr;
  if (!live) return BaseContainer();
  // copying the borrowed view makes an owned deep copy
  return BaseContainer(BaseContainer::Borrow(live));
}

int32_t RenderData::GetParameterInt(int32_t id, int32_t def) const {
  return data_ ? HostCall(def, &Documents::get_parameter_int, data_, id, def) : def;
}

bool RenderData::SetParameterInt(int32_t id, int32_t value, int32_t flags) {
  return data_ && HostCall(false, &Documents::set_parameter_int, data_, id, value, flags);
}

BaseVideoPost RenderData::GetFirstVideoPost() const {
  return BaseVideoPost(data_ ? HostCall(nullptr, &Documents::first_video_post, data_) : nullptr);
}

BaseVideoPost RenderData::FindVideoPost(int32_t type) const {
  for (BaseVideoPost post = GetFirstVideoPost(); post.IsValid(); post = post.GetNext()) {
    if (post.GetType() == type) return post;
  }
  return BaseVideoPost();
}

BaseDocument::~BaseDocument() {
  Free();
}

BaseDocument::BaseDocument(BaseDocument&& other) noexcept
    : document_(std::exchange(other.document_, nullptr)) {}

BaseDocument& BaseDocument::operator=(BaseDocument&& other) noexcept {
  if (this != &other) {
    Free();
    document_ = std::exchange(other.document_, nullptr);
  }
  return *this;
}

BaseDocument BaseDocument::Load(const Filename& name, int32_t flags) {
  BaseDocument document;
  document.document_ = HostCall(nullptr, &Documents::load, name.Get(), flags);
  return document;
}

RenderData BaseDocument::GetActiveRenderData() const {
  return RenderData(document_ ? HostCall(nullptr, &Documents::active_render_data, document_) : nullptr);
}

double BaseDocument::GetFps() const {
  return document_ ? HostCall(0.0, &Documents::fps, document_) : 0.0;
}

void BaseDocument::GetMinTime(int64_t& num, int64_t& den) const {
  num = 0;
  den = 1;
  if (document_) HostCall(&Documents::min_time, document_, &num, &den);
}

bool BaseDocument::SetMinTime(int64_t num, int64_t den) {
  return document_ && HostCall(false, &Documents::set_min_time, document_, num, den);
}

void BaseDocument::Free() {
  if (document_) HostCall(&Documents::free, document_);
  document_ = nullptr;
}

int32_t RenderDocument(BaseDocument& document, const BaseContainer& settings, BaseBitmap& target,
                       int32_t flags, HostThread* thread, HostRenderProgress progress, void* progressUser) {
  if (!document.IsValid() || !target.IsValid()) return ZOR_RENDER_FAILED;
  return HostCall(int32_t{ZOR_RENDER_FAILED}, &HostRenderTable::render_document, document.Get(),
                  settings.Get(), target.Get(), flags, thread, progress, progressUser);
}
