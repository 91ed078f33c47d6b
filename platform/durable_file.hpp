// Files that survive a crash: flushing written data to the disk, replacing a file atomically.
#pragma once

#include <cstdio>

// Flushes the stream and asks the system to put its data on the disk. False (errno set) when
// either fails.
bool flushFileToDisk(std::FILE* file);

// Renames `from` to `to`, replacing an existing `to` in one step, so a reader sees either the
// old file or the new one. False (errno set) when it fails; `from` is then left as it was.
bool replaceFileAtomically(const char* from, const char* to);
