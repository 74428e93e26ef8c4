// Advisory whole-file lock; released by the system when the file is closed.

#include <stdio.h>
#include <sys/file.h>

#include "app/file_lock.h"

namespace brevant {

bool LockFileExclusively(std::FILE* file) { return flock(fileno(file), LOCK_EX | LOCK_NB) == 0; }

}  // namespace brevant
