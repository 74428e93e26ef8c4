#pragma once
// An exclusive hold on an open file for as long as it stays open, so two runs never
// interleave their lines in one log.

#include <cstdio>

namespace brevant {

// False when another process holds the file; the caller then treats it as unopenable.
bool LockFileExclusively(std::FILE* file);

}  // namespace brevant
