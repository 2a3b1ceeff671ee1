// Opens a song for reading. Only regular files are songs: a pipe or a device would block the
// caller (the window's thread) in the open or in the first read, or never end.
#pragma once

#include <cstdio>
#include <string>

#include "stage_result.h"

namespace kivo {

// The open file in *file on kStageOk; otherwise the reason (kNotRegularFile for a folder, a
// pipe or a device) and no file. The process's standard input, opened by name, is the one
// thing read that need not be a regular file.
StageResult openSongFile(const std::string& path, std::FILE** file);

}  // namespace kivo
