// The songs' tags, read on a thread of their own when first asked for and kept: the window never
// waits for a file, and a folder of thousands of songs is added without reading one of them.
#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "song_tags.h"

namespace kivo {

class SongInfo : public QObject {
    Q_OBJECT
public:
    SongInfo();
    // Waits for the file being read.
    ~SongInfo() override;

    // The song's tags once read; null until then (they are asked for, and ready() follows).
    const SongTags* find(const std::string& path);

signals:
    void ready(const QString& path);

private:
    void keep(const std::string& path, const SongTags& tags);

    QThreadPool reader_;
    std::unordered_map<std::string, SongTags> read_;
    std::unordered_set<std::string> asked_;
};

}  // namespace kivo
