#include "song_info.h"

namespace kivo {

SongInfo::SongInfo() {
    // One file at a time: the reads are for the songs a user points at, in that order.
    reader_.setMaxThreadCount(1);
}

SongInfo::~SongInfo() {
    reader_.clear();
    reader_.waitForDone();
}

const SongTags* SongInfo::find(const std::string& path) {
    if (const auto it = read_.find(path); it != read_.end()) return &it->second;
    if (asked_.insert(path).second) {
        reader_.start([this, path] {
            const SongTags tags = readSongTags(path);
            // Kept on the window's thread; dropped with this object if it has gone.
            QMetaObject::invokeMethod(
                this, [this, path, tags] { keep(path, tags); }, Qt::QueuedConnection);
        });
    }
    return nullptr;
}

void SongInfo::keep(const std::string& path, const SongTags& tags) {
    read_[path] = tags;
    asked_.erase(path);
    emit ready(QString::fromStdString(path));
}

}  // namespace kivo
