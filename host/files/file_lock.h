// Advisory locks on files for the files family: a run that must have a folder to itself takes the lock
// of a file in it, and the kernel drops the lock with the process however it ends.
#pragma once
#include "zor_api.h"

namespace zorhost {
HostFileLock* files_lock_take(const HostFilename* name, bool* busy);
void files_lock_free(HostFileLock* lock);
}  // namespace zorhost
