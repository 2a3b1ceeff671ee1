// Whole-file reading and writing and directory creation. Paths are local-code-page bytes.
// Failures are results, never messages.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kivo::runtime {

// The whole file; empty when it is missing, empty or cannot be read.
std::string readWholeFile(const std::string& path);

// Creates or truncates the file and writes the parts one after another. 1 when every byte
// reached the file, 0 otherwise (including a short write on a full disk).
int writeWholeFile(const std::string& path, std::initializer_list<std::string_view> parts);

// Creates one directory level; false when it could not be created (also when it exists).
bool createDirectory(const std::string& path);

}  // namespace kivo::runtime
