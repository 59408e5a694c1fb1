#include "batch_report.h"

#include <cstring>

#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_memory.h"

namespace {

constexpr int32_t kColumnWidth = 10;
constexpr int32_t kLineLimit = 255;  // bytes of one report line in 8-bit text
constexpr int32_t kLineEndLimit = 16;

// One report line as written: its text cut at the limit, then the line end. The line end is always
// written, so that the next record still starts a line of its own and the report stays readable by
// position. `out` holds kLineLimit + kLineEndLimit bytes; answers the bytes it holds.
int64_t FormatLine(const String& text, const String& lineEnd, char* out) {
  const int32_t bytes = text.GetCString(out, kLineLimit + 1, ZOR_STRING_UTF8);
  return bytes + int64_t(lineEnd.GetCString(out + bytes, kLineEndLimit, ZOR_STRING_UTF8));
}
String Blanks(int32_t count) {
  String blanks;
  for (int32_t i = 0; i < count; ++i) blanks += " ";
  return blanks;
}

}  // namespace

// What one report line was made from, and its length in bytes (its line end included).
struct ReportCache::LineSource {
  ReportLineKey key;
  int64_t length;

  bool Matches(const ReportLineKey& other) const {
    // bitwise, so that a value that does not equal itself cannot force a new line every time
    return key.identity == other.identity && key.flags == other.flags &&
           std::memcmp(key.values, other.values, sizeof key.values) == 0;
  }
};

void ReportCache::Release() {
  Free(sources_);
  Free(bytes_);
  sourceCount_ = 0;
  sourceCapacity_ = 0;
  size_ = 0;
  capacity_ = 0;
  headerVersion_ = 0;
  headerLength_ = 0;
}

bool ReportCache::GrowSources(int32_t count) {
  if (count <= sourceCapacity_) return true;
  const int32_t capacity = count > 2 * sourceCapacity_ ? count : 2 * sourceCapacity_;
  auto* grown = static_cast<LineSource*>(ZOR_ALLOC(int64_t(sizeof(LineSource)) * capacity));
  if (!grown) return false;
  if (sourceCount_ > 0) std::memcpy(grown, sources_, sizeof(LineSource) * size_t(sourceCount_));
  Free(sources_);
  sources_ = grown;
  sourceCapacity_ = capacity;
  return true;
}

// Replaces oldLength bytes at offset with the line, moving what follows.
bool ReportCache::Splice(int64_t offset, int64_t oldLength, const char* line, int64_t length) {
  const int64_t size = size_ - oldLength + length;
  if (size > capacity_) {
    const int64_t capacity = size > 2 * capacity_ ? size : 2 * capacity_;
    char* grown = static_cast<char*>(ZOR_ALLOC(capacity));
    if (!grown) return false;
    if (size_ > 0) std::memcpy(grown, bytes_, size_t(size_));
    Free(bytes_);
    bytes_ = grown;
    capacity_ = capacity;
  }
  const int64_t tail = size_ - offset - oldLength;
  if (tail > 0 && length != oldLength) {
    std::memmove(bytes_ + offset + length, bytes_ + offset + oldLength, size_t(tail));
  }
  std::memcpy(bytes_ + offset, line, size_t(length));
  size_ = size;
  return true;
}

bool ReportCache::Update(ReportLineSource& lines, int32_t hostVersion) {
  const String lineEnd = String::LineEnd();
  char line[kLineLimit + kLineEndLimit];
  auto format = [&](const String& text) { return FormatLine(text, lineEnd, line); };

  const int32_t count = lines.LineCount();
  bool ok = GrowSources(count);
  if (ok && (headerLength_ == 0 || headerVersion_ != hostVersion)) {
    const int64_t length = format(ReportHeader(hostVersion));
    ok = Splice(0, headerLength_, line, length);
    headerLength_ = length;
    headerVersion_ = hostVersion;
  }
  int64_t offset = headerLength_;
  for (int32_t k = 0; ok && k < count; ++k) {
    const ReportLineKey key = lines.LineKey(k);
    LineSource& source = sources_[k];
    const bool known = k < sourceCount_;
    if (!known || !source.Matches(key)) {
      const int64_t length = format(lines.Line(k));
      ok = Splice(offset, known ? source.length : 0, line, length);
      source = LineSource{key, length};
    }
    offset += source.length;
  }
  if (!ok) {
    Release();
    return false;
  }
  // lines beyond the count (a list that was emptied and filled again) are gone
  size_ = offset;
  sourceCount_ = count;
  return true;
}

String ColumnText(const String& text) {
  String column = text;
  const int32_t length = text.GetLength();
  if (length < kColumnWidth) column += Blanks(kColumnWidth - length);
  return column;
}

String TimeText(double seconds) {
  return String::FromFloat(seconds, -5, 2, false, '0');
}

String PercentText(double value) {
  const double percent = value * 100.0;
  String text;
  if (percent > 0.0) text += "+";
  text += TimeText(percent);
  text += "%";
  return ColumnText(text);
}

String HostVersionText(int32_t version) {
  return String::FromFloat(version * 0.001, -4, 3, false, '0');
}

String ReportHeader(int32_t hostVersion) {
  return ColumnText(HostVersionText(hostVersion)) +
         String("Status    Tnew      Told      Trel      Diff      Name");
}

Filename ReportFileIn(const Filename& folder) {
  return folder + Filename("_result.txt");
}

String BlankColumns(int32_t count) {
  return Blanks(count * kColumnWidth);
}

String RelativeTimeColumn(double tnew, double told) {
  return tnew != 0.0 && told != 0.0 ? PercentText(tnew / told - 1.0) : BlankColumns(1);
}

String DiffColumn(double diff) {
  return diff == 0.0 ? ColumnText(String("None")) : PercentText(diff);
}

void WriteReportLines(ReportLineSource& lines, ReportCache& cache, const Filename& reportFile) {
  BaseFile file;
  if (!file.Allocate()) return;  // no file object from the host: nothing to say, the next write tries again
  if (!file.Open(reportFile, ZOR_FILE_WRITE, 1, ZOR_BYTEORDER_MOTOROLA, FourCC("TEXT"), FourCC("ttxt"))) {
    GeMessageBox(String("Couldn't write file 'Result.txt'"));
    return;
  }
  if (cache.Update(lines, GetHostApiVersion())) {
    file.Write(cache.Data(), cache.Size());
  } else {
    // Without memory for the cache the report is still written whole, line by line.
    const String lineEnd = String::LineEnd();
    char line[kLineLimit + kLineEndLimit];
    file.Write(line, FormatLine(ReportHeader(GetHostApiVersion()), lineEnd, line));
    for (int32_t k = 0; k < lines.LineCount(); ++k) {
      lines.LineKey(k);
      file.Write(line, FormatLine(lines.Line(k), lineEnd, line));
    }
  }
  file.Close();
}
