// The documents family: scenes loaded from .zor files, with their live render data and video posts.
#include "app/crash_handler.h"
#include "app/entry_guard.h"
#include "app/host_table.h"
#include "containers/container_integer.h"
#include "documents/scene_document.h"
#include "documents/scene_errors.h"
#include "files/filename_impl.h"
#include "gui/console.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {

HostDocument* documents_load(const HostFilename* name, int32_t /*flags*/) {
  return guarded("documents.load", static_cast<HostDocument*>(nullptr), [&]() -> HostDocument* {
    if (!name) return nullptr;
    CrashActivity activity("loading", native(name).string());
    try {
      return tracked(ObjectKind::Document, load_scene(native(name)).release());
    } catch (const std::exception& e) {
      // a scene that cannot be read is the user's to fix, not an internal error
      console_line(std::string("Scene not loaded: ") + e.what());
      note_scene_error(native(name), "load", e.what());
      return nullptr;
    }
  });
}

void documents_free(HostDocument* doc) {
  guarded_void("documents.free", [&] { delete_tracked(ObjectKind::Document, doc); });
}

HostRenderData* documents_active_render_data(HostDocument* doc) {
  return guarded("documents.active_render_data", static_cast<HostRenderData*>(nullptr),
                 [&] { return doc ? &doc->render_data : nullptr; });
}

HostContainer* documents_render_data_container(HostRenderData* rd) {
  return guarded("documents.render_data_container", static_cast<HostContainer*>(nullptr),
                 [&] { return rd ? &rd->settings : nullptr; });
}

int32_t documents_get_parameter_int(HostRenderData* rd, int32_t id, int32_t def) {
  return guarded("documents.get_parameter_int", def,
                 [&] { return rd ? container_integer<int32_t>(rd->settings, id).value_or(def) : def; });
}

bool documents_set_parameter_int(HostRenderData* rd, int32_t id, int32_t value, int32_t /*flags*/) {
  return guarded("documents.set_parameter_int", false, [&] {
    if (!rd) return false;
    rd->settings.values[id] = value;
    return true;
  });
}

HostVideoPost* documents_first_video_post(HostRenderData* rd) {
  return guarded("documents.first_video_post", static_cast<HostVideoPost*>(nullptr),
                 [&] { return rd && !rd->video_posts.empty() ? rd->video_posts.front().get() : nullptr; });
}

HostVideoPost* documents_next_video_post(HostVideoPost* vp) {
  return guarded("documents.next_video_post", static_cast<HostVideoPost*>(nullptr),
                 [&] { return vp ? vp->next : nullptr; });
}

int32_t documents_video_post_type(const HostVideoPost* vp) {
  return guarded("documents.video_post_type", 0, [&] { return vp ? vp->type : 0; });
}

int32_t documents_video_post_flags(const HostVideoPost* vp) {
  return guarded("documents.video_post_flags", 0, [&] { return vp ? vp->flags : 0; });
}

void documents_set_video_post_flags(HostVideoPost* vp, int32_t flags) {
  guarded_void("documents.set_video_post_flags", [&] {
    if (vp) vp->flags = flags;
  });
}

HostContainer* documents_video_post_container(HostVideoPost* vp) {
  return guarded("documents.video_post_container", static_cast<HostContainer*>(nullptr),
                 [&] { return vp ? &vp->settings : nullptr; });
}

bool documents_set_video_post_parameter_int(HostVideoPost* vp, int32_t id, int32_t value, int32_t /*flags*/) {
  return guarded("documents.set_video_post_parameter_int", false, [&] {
    if (!vp) return false;
    vp->settings.values[id] = value;
    return true;
  });
}

double documents_fps(const HostDocument* doc) {
  return guarded("documents.fps", 0.0, [&] { return doc ? doc->fps : 0.0; });
}

void documents_min_time(const HostDocument* doc, int64_t* num, int64_t* den) {
  guarded_void("documents.min_time", [&] {
    if (num) *num = doc ? doc->min_time_num : 0;
    if (den) *den = doc ? doc->min_time_den : 1;
  });
}

bool documents_set_min_time(HostDocument* doc, int64_t num, int64_t den) {
  return guarded("documents.set_min_time", false, [&] {
    if (!doc || den <= 0) return false;
    doc->min_time_num = num;
    doc->min_time_den = den;
    return true;
  });
}

}  // namespace

const SceneFaults* scene_faults(const HostDocument* doc) {
  return doc ? &doc->faults : nullptr;
}

const HostDocumentTable* documents_table() {
  static const HostDocumentTable kTable{
      .size = sizeof(HostDocumentTable),
      .load = documents_load,
      .free = documents_free,
      .active_render_data = documents_active_render_data,
      .render_data_container = documents_render_data_container,
      .get_parameter_int = documents_get_parameter_int,
      .set_parameter_int = documents_set_parameter_int,
      .first_video_post = documents_first_video_post,
      .next_video_post = documents_next_video_post,
      .video_post_type = documents_video_post_type,
      .video_post_flags = documents_video_post_flags,
      .set_video_post_flags = documents_set_video_post_flags,
      .video_post_container = documents_video_post_container,
      .set_video_post_parameter_int = documents_set_video_post_parameter_int,
      .fps = documents_fps,
      .min_time = documents_min_time,
      .set_min_time = documents_set_min_time,
  };
  return &kTable;
}

}  // namespace zorhost
