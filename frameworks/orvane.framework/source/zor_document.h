// Scene documents, their active render settings and video post chain, and rendering a document into
// a bitmap. Documents are owned; render data and video posts are borrowed from their document and
// live only as long as it does.
#pragma once
#include <cstdint>

#include "zor_api.h"

class Filename;
class BaseContainer;
class BaseBitmap;

class BaseVideoPost {
 public:
  explicit BaseVideoPost(HostVideoPost* post = nullptr) : post_(post) {}
  bool IsValid() const { return post_ != nullptr; }
  BaseVideoPost GetNext() const;
  int32_t GetType() const;
  int32_t GetFlags() const;
  void SetFlags(int32_t flags);
  // the live settings container of the video post (borrowed)
  BaseContainer GetDataInstance() const;
  bool SetParameterInt(int32_t id, int32_t value, int32_t flags);
  HostVideoPost* Get() const { return post_; }

 private:
  HostVideoPost* post_;
};

class RenderData {
 public:
  explicit RenderData(HostRenderData* data = nullptr) : data_(data) {}
  bool IsValid() const { return data_ != nullptr; }
  // an owned copy of the settings container
  BaseContainer GetDataCopy() const;
  int32_t GetParameterInt(int32_t id, int32_t def = 0) const;
  bool SetParameterInt(int32_t id, int32_t value, int32_t flags);
  BaseVideoPost GetFirstVideoPost() const;
  // the first video post of that type in the chain; invalid when there is none
  BaseVideoPost FindVideoPost(int32_t type) const;
  HostRenderData* Get() const { return data_; }

 private:
  HostRenderData* data_;
};

class BaseDocument {
 public:
  BaseDocument() = default;
  ~BaseDocument();
  BaseDocument(BaseDocument&& other) noexcept;
  BaseDocument& operator=(BaseDocument&& other) noexcept;
  BaseDocument(const BaseDocument&) = delete;
  BaseDocument& operator=(const BaseDocument&) = delete;

  // invalid when the scene cannot be loaded (the host prints why)
  static BaseDocument Load(const Filename& name, int32_t flags);

  bool IsValid() const { return document_ != nullptr; }
  RenderData GetActiveRenderData() const;
  double GetFps() const;
  // the document's first frame time as a fraction num / den; 0 / 1 when the host cannot tell
  void GetMinTime(int64_t& num, int64_t& den) const;
  bool SetMinTime(int64_t num, int64_t den);
  void Free();
  HostDocument* Get() const { return document_; }

 private:
  HostDocument* document_ = nullptr;
};

// Renders the document with the given settings into the bitmap; answers ZOR_RENDER_OK or the host's
// failure code. A thread lets the host break the render between tiles.
int32_t RenderDocument(BaseDocument& document, const BaseContainer& settings, BaseBitmap& target,
                       int32_t flags, HostThread* thread, HostRenderProgress progress = nullptr,
                       void* progressUser = nullptr);
