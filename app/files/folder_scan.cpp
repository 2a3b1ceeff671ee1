#include "folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>
#include <vector>

#include "pumping_wait.h"

namespace kivo {

namespace {

struct FolderEntries {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};

std::string folded(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Ascending without regard to letter case, the way Windows lists a folder; names that differ
// only in case keep a fixed order.
bool listsBefore(const std::string& a, const std::string& b) {
    const std::string foldedA = folded(a);
    const std::string foldedB = folded(b);
    return foldedA != foldedB ? foldedA < foldedB : a < b;
}

// The folder's MP3 files and the sub-folders worth entering, each in name order. Links are
// followed to what they name.
FolderEntries readFolder(const std::string& folder) {
    FolderEntries entries;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat info {};
        if (::stat((folder + name).c_str(), &info) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            if (name.front() != '.') entries.folders.push_back(name);
        } else if (hasMp3Extension(name) && fitsOnePlaylistLine(folder + name)) {
            entries.files.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(entries.files.begin(), entries.files.end(), listsBefore);
    std::sort(entries.folders.begin(), entries.folders.end(), listsBefore);
    return entries;
}

using FolderId = std::pair<dev_t, ino_t>;

void scanLevel(std::string folder, const std::function<void(const std::string&)>& found,
               std::set<FolderId>& entered) {
    runtime::processPendingEvents();
    if (folder.empty() || folder.back() != '/') folder += '/';
    // A link back up the tree would lead round in a circle: every folder is entered once.
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !entered.insert({info.st_dev, info.st_ino}).second) {
        return;
    }
    const FolderEntries entries = readFolder(folder);
    for (const std::string& name : entries.files) found(folder + name);
    for (const std::string& name : entries.folders) scanLevel(folder + name, found, entered);
}

}  // namespace

bool hasMp3Extension(const std::string& name) {
    constexpr std::string_view kExtension = ".mp3";
    if (name.size() < kExtension.size()) return false;
    return std::equal(kExtension.begin(), kExtension.end(), name.end() - 4, [](char e, char c) {
        return e == std::tolower(static_cast<unsigned char>(c));
    });
}

bool fitsOnePlaylistLine(const std::string& path) {
    return path.find("\r\n") == std::string::npos;
}

void scanFolder(const std::string& folder, const std::function<void(const std::string&)>& found) {
    std::set<FolderId> entered;
    scanLevel(folder, found, entered);
}

}  // namespace kivo
