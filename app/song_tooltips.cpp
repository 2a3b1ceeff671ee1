#include "song_tooltips.h"

#include <QCursor>
#include <QHelpEvent>
#include <QToolTip>

#include "kivo.h"
#include "song_info.h"
#include "song_length.h"

namespace kivo {

SongTooltips::SongTooltips(Kivo& kivo) : kivo_(kivo) {
    MainWindow& window = kivo.mainWindow();
    window.songList->viewport()->installEventFilter(this);
    window.nowPlayingLabel->installEventFilter(this);
    window.progressBar->installEventFilter(this);
    connect(&kivo.songInfo(), &SongInfo::ready, this, &SongTooltips::tagsRead);
}

QString SongTooltips::timeHeard(const std::string& song) {
    const SongTags* tags = kivo_.songInfo().find(song);
    if (!tags || tags->lengthMs <= 0) return {};
    const runtime::SuperBar& bar = *kivo_.mainWindow().progressBar;
    const double seconds = static_cast<double>(tags->lengthMs) / 1000;
    const double heard = bar.maximum() > 0 ? seconds * bar.position() / bar.maximum() : 0;
    return QString::fromStdString(clockTime(heard) + " / " + clockTime(seconds));
}

QString SongTooltips::textFor(QObject* widget, const QPoint& at, std::string* song) {
    MainWindow& window = kivo_.mainWindow();
    if (widget == window.songList->viewport()) {
        const QListWidgetItem* item = window.songList->itemAt(at);
        if (!item) return {};
        *song = window.songList->itemTextAt(window.songList->row(item));
        const SongTags* tags = kivo_.songInfo().find(*song);
        return tags ? QString::fromStdString(songDescription(*tags, *song)) : QString();
    }
    *song = window.nowPlayingLabel->caption();
    if (*song == kWelcomeCaption) return {};
    if (widget == window.progressBar) return timeHeard(*song);
    const SongTags* tags = kivo_.songInfo().find(*song);
    if (!tags) return {};
    const QString heard = timeHeard(*song);
    return QString::fromStdString(songDescription(*tags, *song)) +
           (heard.isEmpty() ? QString() : "\n" + heard);
}

bool SongTooltips::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    auto* widget = static_cast<QWidget*>(watched);
    std::string song;
    const QString text = textFor(watched, help->pos(), &song);
    if (text.isEmpty()) {
        QToolTip::hideText();
        // Shown when the tags come, if the pointer has stayed.
        waiting_ = song.empty() ? nullptr : watched;
        waitingSong_ = song;
        waitingAt_ = help->pos();
    } else {
        waiting_ = nullptr;
        QToolTip::showText(help->globalPos(), text, widget);
    }
    return true;
}

void SongTooltips::tagsRead(const QString& path) {
    if (!waiting_ || path.toStdString() != waitingSong_) return;
    auto* widget = static_cast<QWidget*>(waiting_);
    waiting_ = nullptr;
    if (!widget->underMouse() && !widget->rect().contains(widget->mapFromGlobal(QCursor::pos()))) {
        return;
    }
    std::string song;
    const QString text = textFor(widget, waitingAt_, &song);
    if (!text.isEmpty() && song == waitingSong_) {
        QToolTip::showText(widget->mapToGlobal(waitingAt_), text, widget);
    }
}

}  // namespace kivo
