// The documents family: scenes loaded from .zor files, with their live render data and video posts.
#include <cmath>
#include <type_traits>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "documents/scene_document.h"
#include "files/filename_impl.h"
#include "gui/console.h"

namespace zorhost {
namespace {

int32_t container_int(const HostContainer& c, int32_t id, int32_t def) {
  auto it = c.values.find(id);
  if (it == c.values.end()) return def;
  return std::visit(
      [def](const auto& v) -> int32_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          return v ? 1 : 0;
        } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
          return static_cast<int32_t>(v);
        } else if constexpr (std::is_same_v<T, double>) {
          return std::isfinite(v) ? static_cast<int32_t>(v) : def;
        } else {
          return def;
        }
      },
      it->second);
}

HostDocument* fn_load(const HostFilename* name, int32_t /*flags*/) {
  try {
    if (!name) return nullptr;
    return load_scene(native(name)).release();
  } catch (const std::exception& e) {
    console_line(std::string("Scene not loaded: ") + e.what());
    return nullptr;
  } catch (...) {
    return nullptr;
  }
}

void fn_free(HostDocument* doc) {
  delete doc;
}

HostRenderData* fn_active_render_data(HostDocument* doc) {
  return doc ? &doc->render_data : nullptr;
}

HostContainer* fn_render_data_container(HostRenderData* rd) {
  return rd ? &rd->settings : nullptr;
}

int32_t fn_get_parameter_int(HostRenderData* rd, int32_t id, int32_t def) {
  return rd ? container_int(rd->settings, id, def) : def;
}

bool fn_set_parameter_int(HostRenderData* rd, int32_t id, int32_t value, int32_t /*flags*/) {
  return guarded("set_parameter_int", false, [&] {
    if (!rd) return false;
    rd->settings.values[id] = value;
    return true;
  });
}

HostVideoPost* fn_first_video_post(HostRenderData* rd) {
  return rd && !rd->video_posts.empty() ? rd->video_posts.front().get() : nullptr;
}

HostVideoPost* fn_next_video_post(HostVideoPost* vp) {
  return vp ? vp->next : nullptr;
}
int32_t fn_video_post_type(const HostVideoPost* vp) {
  return vp ? vp->type : 0;
}
int32_t fn_video_post_flags(const HostVideoPost* vp) {
  return vp ? vp->flags : 0;
}

void fn_set_video_post_flags(HostVideoPost* vp, int32_t flags) {
  if (vp) vp->flags = flags;
}

HostContainer* fn_video_post_container(HostVideoPost* vp) {
  return vp ? &vp->settings : nullptr;
}

bool fn_set_video_post_parameter_int(HostVideoPost* vp, int32_t id, int32_t value, int32_t /*flags*/) {
  return guarded("set_video_post_parameter_int", false, [&] {
    if (!vp) return false;
    vp->settings.values[id] = value;
    return true;
  });
}

double fn_fps(const HostDocument* doc) {
  return doc ? doc->fps : 0;
}

void fn_min_time(const HostDocument* doc, int64_t* num, int64_t* den) {
  if (num) *num = doc ? doc->min_time_num : 0;
  if (den) *den = doc ? doc->min_time_den : 1;
}

}  // namespace

const SceneFaults* scene_faults(const HostDocument* doc) {
  return doc ? &doc->faults : nullptr;
}

const HostDocumentTable* documents_table() {
  static const HostDocumentTable table = [] {
    HostDocumentTable t{};
    t.size = static_cast<int32_t>(sizeof(HostDocumentTable));
    t.load = fn_load;
    t.free = fn_free;
    t.active_render_data = fn_active_render_data;
    t.render_data_container = fn_render_data_container;
    t.get_parameter_int = fn_get_parameter_int;
    t.set_parameter_int = fn_set_parameter_int;
    t.first_video_post = fn_first_video_post;
    t.next_video_post = fn_next_video_post;
    t.video_post_type = fn_video_post_type;
    t.video_post_flags = fn_video_post_flags;
    t.set_video_post_flags = fn_set_video_post_flags;
    t.video_post_container = fn_video_post_container;
    t.set_video_post_parameter_int = fn_set_video_post_parameter_int;
    t.fps = fn_fps;
    t.min_time = fn_min_time;
    return t;
  }();
  return &table;
}

}  // namespace zorhost
