// Static text. The caption keeps the exact bytes written (a song path need not be valid
// UTF-8); it is shown as well as it can be. A label can receive engine notifications: the
// progress message arrives as its progress event, the failure message as its failed event.
#pragma once

#include <QLabel>
#include <string>
#include <string_view>

namespace kivo::runtime {

class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);

    const std::string& caption() const { return caption_; }
    void setCaption(std::string_view caption);
    void setTextColour(uint32_t bgr);

signals:
    // The engine's playback progress: 0..99 while a song plays, 100 when it has ended.
    void progress(int percent);
    // The song could not play, for the engine's reason; the song's progress 100 follows.
    void playFailed(int reason);

protected:
    bool event(QEvent* e) override;

private:
    std::string caption_;
};

}  // namespace kivo::runtime
