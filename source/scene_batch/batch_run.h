// The run loop pieces the batch tools share: the status text that the worker writes and the progress
// dialog shows, the final text, the render time, and the start of the worker with or without a dialog.
#pragma once
#include <cstdint>

#include "zor_filename.h"
#include "zor_memory.h"
#include "zor_string.h"
#include "zor_thread.h"

// How a render time in milliseconds becomes seconds cut to hundredths: the two tools were written
// apart and cut differently, which shows only for a timer that runs backwards.
enum class TimeCut { kTruncate, kFloor };
double ElapsedSeconds(int64_t t0, int64_t t1, TimeCut cut);

// Sets the shared status text under the global lock and prints it, then posts eventId to the open
// dialogs; answers the text.
String PublishStatus(String& shared, const String& text, int32_t eventId);

// "Renderator successful!" when the run went through all count scenes, else the text naming the
// scene at which it stopped.
String FinalStatusText(int32_t stoppedAt, int32_t count, const Filename& stoppedScene);

enum class BatchStart { kFailed, kSynchronous, kWithDialog };
// true when the host has no user interface: the thread then ran on the calling thread; started tells
// whether the start worked
bool StartOnCallingThread(ZORThread& thread, bool& started);
// Runs thread to its end: on the calling thread when the host has no user interface, else on its own
// while a new Dialog shows the progress modally (dialog keeps it for the caller to ask).
template <class Dialog>
BatchStart RunBatchThread(ZORThread& thread, OwnedObj<Dialog>& dialog) {
  bool started = false;
  if (StartOnCallingThread(thread, started)) return started ? BatchStart::kSynchronous : BatchStart::kFailed;
  if (!started) return BatchStart::kFailed;
  dialog = NewOwnedObj(Dialog);
  if (dialog) dialog->Open(-1, -1);
  thread.End(true);
  return BatchStart::kWithDialog;
}
