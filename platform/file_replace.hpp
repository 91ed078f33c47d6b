// Replacing a small file's whole contents so that it survives a crash and keeps what the user set.
#pragma once

#include <string>
#include <string_view>

// Makes `bytes` the contents of the file at `path`: written beside it under a name of its own,
// put on the disk, then renamed over it, so a reader sees the old contents or the new ones,
// never a mix. A symbolic link stays a link (its target is written, where the system has
// links); the file keeps its permissions; a file the user made read-only is left alone; where
// the folder allows no new file, the file is written in place. False, with one plain sentence
// naming the file in `error`, when nothing was saved. Main thread.
bool replaceFileContents(const char* path, std::string_view bytes, std::string& error);
