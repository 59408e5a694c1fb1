// Every block a module allocates is counted with its size and source location, and every kind of host
// object a module can hold is counted by kind, so that what a module forgets to free can be listed at
// exit.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace zorhost {

// zero-filled; null for a negative size or when no memory is left
void* tracked_alloc(int64_t size, int32_t line, const char* file);
// null is ignored; a block this tracker did not hand out is reported on stderr and left alone
void tracked_free(void* block);

enum class ObjectKind {
  String,
  Filename,
  Container,
  File,
  Browse,
  Bitmap,
  Document,
  Dialog,
  UserArea,
  Thread,
  Resource,
  Evaluator,
  TextParser,
  CoreError,
  CoreText,
  IoIterator,
  InputStream,
  ExifReader,
  Dictionary,
};
const char* object_kind_name(ObjectKind kind);  // plural, for reports: "strings"

void track_object(ObjectKind kind, const void* object);
// false when the object was not tracked (made inside the host, or already freed)
bool untrack_object(ObjectKind kind, const void* object);

// The object, counted: `return tracked(ObjectKind::Bitmap, new HostBitmap);`
template <class T>
T* tracked(ObjectKind kind, T* object) {
  track_object(kind, object);
  return object;
}

// Uncounts and deletes an object of a family's own free; null is ignored.
template <class T>
void delete_tracked(ObjectKind kind, T* object) {
  if (!object) return;
  untrack_object(kind, object);
  delete object;
}

struct MemoryStatistics {
  int64_t live_blocks = 0;
  int64_t live_bytes = 0;
  int64_t peak_bytes = 0;
  int64_t total_allocations = 0;
  int64_t bad_frees = 0;          // double frees and unknown pointers
  int64_t low_memory_events = 0;  // low-memory situations since start (simulated by scene faults)
};
MemoryStatistics memory_statistics();

// Counts low-memory situations; the count saturates instead of wrapping.
void count_low_memory_events(int64_t count);

// The host's check of its own bookkeeping: the counters agree with the blocks held, and no free of a
// block that was not live happened since the previous check. One sentence per problem; empty when
// everything is in order. Constant time.
std::vector<std::string> check_memory_tracker();

struct LeakedBlock {
  int64_t size = 0;
  std::string file;
  int32_t line = 0;
};
std::vector<LeakedBlock> leaked_blocks();  // sorted by file, line
std::map<ObjectKind, int64_t> live_objects();

// Lists every block never freed and every host object kind with live objects; true when anything
// was listed.
bool report_leaks(std::FILE* out);

}  // namespace zorhost
