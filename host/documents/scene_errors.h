// Why a scene failed, kept beside the report of the run that met it. A render regression run records
// a failed scene only as ERROR in its report (_result.txt), whose format is fixed; the loader's or the
// renderer's message would reach the console only. zorhost keeps each such message and, when a module
// next writes a file named _result.txt, writes the kept ones into _errors.jsonl in the same folder, a
// JSON object per line: {"scene": path, "stage": "load" or "render", "message": text}. The first
// write in a folder during a process replaces what an earlier process left there; later ones append.
#pragma once
#include <filesystem>
#include <string>

namespace zorhost {

inline constexpr const char* kSceneErrorsFile = "_errors.jsonl";
inline constexpr const char* kRunReportFile = "_result.txt";

// Any thread.
void note_scene_error(const std::filesystem::path& scene, const char* stage, const std::string& message);

// After a report was written: the kept messages go beside it. A file that cannot be written is said
// on stderr and noted as a failed service; the messages are then dropped.
void write_scene_errors(const std::filesystem::path& report);

}  // namespace zorhost
