// Replaces a file's contents so that a crash, a kill or a full disk never leaves it half
// written: the new bytes go to a temporary file in the same folder, which is flushed to the disk
// and then renamed over the old file. Until commit() the old file stays exactly as it was.
#pragma once

#include <string>
#include <string_view>

namespace kivo {

class ReplacementFile {
public:
    // Opens a temporary file beside `path`; isOpen() tells whether that worked.
    explicit ReplacementFile(std::string path);
    // Removes the temporary file unless commit() succeeded.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool write(std::string_view bytes);
    // Flushes the temporary file to the disk and renames it over the target.
    bool commit();

private:
    void discard();

    std::string path_;
    std::string tempPath_;
    int fd_ = -1;
    bool failed_ = false;
};

// Removes the temporary files beside `path` that replacements killed before their rename left
// behind (".NAME.XXXXXX"). Only for a moment when no replacement of `path` is under way.
void removeLeftoverReplacements(const std::string& path);

// Writes `bytes` as the whole new contents of `path` with a ReplacementFile. An existing file
// that its owner made read-only is left alone, as a plain write would have to.
bool replaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace kivo
