#include "zor_document.h"

#include <utility>

#include "zor_bitmap.h"
#include "zor_container.h"
#include "zor_filename.h"
#include "zor_host.h"

#define ZOR_DOCUMENTS(op) HostOperation(&HostFunctionTable::documents, &HostDocumentTable::op)
#define ZOR_RENDER(op) HostOperation(&HostFunctionTable::render, &HostRenderTable::op)

BaseVideoPost BaseVideoPost::GetNext() const {
  auto next = ZOR_DOCUMENTS(next_video_post);
  return BaseVideoPost(post_ && next ? next(post_) : nullptr);
}

int32_t BaseVideoPost::GetType() const {
  auto type = ZOR_DOCUMENTS(video_post_type);
  return post_ && type ? type(post_) : 0;
}

int32_t BaseVideoPost::GetFlags() const {
  auto flags = ZOR_DOCUMENTS(video_post_flags);
  return post_ && flags ? flags(post_) : 0;
}

void BaseVideoPost::SetFlags(int32_t flags) {
  auto setFlags = ZOR_DOCUMENTS(set_video_post_flags);
  if (post_ && setFlags) setFlags(post_, flags);
}

BaseContainer BaseVideoPost::GetDataInstance() const {
  auto container = ZOR_DOCUMENTS(video_post_container);
  return BaseContainer::Borrow(post_ && container ? container(post_) : nullptr);
}

bool BaseVideoPost::SetParameterInt(int32_t id, int32_t value, int32_t flags) {
  auto set = ZOR_DOCUMENTS(set_video_post_parameter_int);
  return post_ && set && set(post_, id, value, flags);
}

BaseContainer RenderData::GetDataCopy() const {
  auto container = ZOR_DOCUMENTS(render_data_container);
  if (!data_ || !container) return BaseContainer();
  HostContainer* live = container(data_);
  if (!live) return BaseContainer();
  // copying the borrowed view makes an owned deep copy
  return BaseContainer(BaseContainer::Borrow(live));
}

int32_t RenderData::GetParameterInt(int32_t id, int32_t def) const {
  auto get = ZOR_DOCUMENTS(get_parameter_int);
  return data_ && get ? get(data_, id, def) : def;
}

bool RenderData::SetParameterInt(int32_t id, int32_t value, int32_t flags) {
  auto set = ZOR_DOCUMENTS(set_parameter_int);
  return data_ && set && set(data_, id, value, flags);
}

BaseVideoPost RenderData::GetFirstVideoPost() const {
  auto first = ZOR_DOCUMENTS(first_video_post);
  return BaseVideoPost(data_ && first ? first(data_) : nullptr);
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
  if (auto load = ZOR_DOCUMENTS(load)) document.document_ = load(name.Get(), flags);
  return document;
}

RenderData BaseDocument::GetActiveRenderData() const {
  auto active = ZOR_DOCUMENTS(active_render_data);
  return RenderData(document_ && active ? active(document_) : nullptr);
}

double BaseDocument::GetFps() const {
  auto fps = ZOR_DOCUMENTS(fps);
  return document_ && fps ? fps(document_) : 0.0;
}

void BaseDocument::Free() {
  if (document_) {
    if (auto free = ZOR_DOCUMENTS(free)) free(document_);
  }
  document_ = nullptr;
}

int32_t RenderDocument(BaseDocument& document, const BaseContainer& settings, BaseBitmap& target,
                       int32_t flags, HostThread* thread, HostRenderProgress progress, void* progressUser) {
  auto render = ZOR_RENDER(render_document);
  if (!render || !document.IsValid() || !target.IsValid()) return ZOR_RENDER_FAILED;
  return render(document.Get(), settings.Get(), target.Get(), flags, thread, progress, progressUser);
}
