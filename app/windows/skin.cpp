#include "skin.h"

#include <QFile>
#include <QHash>
#include <QString>

#include "pic_box.h"
#include "picture.h"
#include "qt_text.h"
#include "super_btn.h"

// Resources built into a static library are registered only when asked for by name.
static void registerSkinResources() {
    Q_INIT_RESOURCE(assets);
}

namespace kivo {

namespace {

struct Dress {
    std::string_view handle;
    std::string_view normal;
    std::string_view hot;  // empty for picture boxes
};

// Template pictures, per control. Captioned buttons wear the face of their size.
constexpr Dress kDresses[] = {
    // main window
    {"decorPicture1", "decorPicture1.gif", ""},
    {"decorPicture2", "decorPicture2.gif", ""},
    {"discPicture", "discPicture.gif", ""},
    {"statusPicture", "statusPicture0.gif", ""},
    {"playButton", "playButton-play.gif", "playButton-play-hot.gif"},
    {"previousButton", "previousButton.gif", "previousButton-hot.gif"},
    {"nextButton", "nextButton.gif", "nextButton-hot.gif"},
    {"modeButton", "modeButton.gif", "modeButton-hot.gif"},
    {"volumeButton", "volumeButton.gif", "volumeButton-hot.gif"},
    {"muteButton", "speaker.gif", "speaker-hot.gif"},
    {"animationButton", "face-80x22.gif", "face-80x22-hot.gif"},
    {"helpButton", "face-48x22.gif", "face-48x22-hot.gif"},
    {"tipsButton", "face-70x22.gif", "face-70x22-hot.gif"},
    {"playlistToggleButton", "face-105x22.gif", "face-105x22-hot.gif"},
    {"locateButton", "face-44x22.gif", "face-44x22-hot.gif"},
    {"addButton", "face-44x22.gif", "face-44x22-hot.gif"},
    {"deleteButton", "face-44x22.gif", "face-44x22-hot.gif"},
    {"clearButton", "face-44x22.gif", "face-44x22-hot.gif"},
    {"saveButton", "face-44x22.gif", "face-44x22-hot.gif"},
    {"searchButton", "face-45x22.gif", "face-45x22-hot.gif"},
    {"kugouButton", "face-45x22.gif", "face-45x22-hot.gif"},
    {"minimizeButton", "face-20x20.gif", "face-20x20-hot.gif"},
    {"closeButton", "face-20x20.gif", "face-20x20-hot.gif"},
    {"searchCloseButton", "face-20x20.gif", "face-20x20-hot.gif"},
    // animation window
    {"animationPicture", "dance01.gif", ""},
    // help window
    {"feedbackPicture", "feedbackPicture.gif", ""},
    {"spaceButton", "spaceButton.gif", "spaceButton-hot.gif"},
    {"sinaWeiboButton", "sinaWeiboButton.gif", "sinaWeiboButton-hot.gif"},
    {"tencentWeiboButton", "tencentWeiboButton.gif", "tencentWeiboButton-hot.gif"},
    {"aboutButton", "face-48x22.gif", "face-48x22-hot.gif"},
    {"moreButton", "face-68x22.gif", "face-68x22-hot.gif"},
    {"feedbackCancelButton", "face-48x22.gif", "face-48x22-hot.gif"},
    // web music window
    {"webPicButton", "webPicButton.gif", "webPicButton-hot.gif"},
    {"webMinimizeButton", "face-20x20-web.gif", "face-20x20-web-hot.gif"},
    {"webCloseButton", "face-20x20-web.gif", "face-20x20-web-hot.gif"},
};

QByteArray resource(const QString& path) {
    static const bool registered = (registerSkinResources(), true);
    (void)registered;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

// Read once: the status and the play button ask for their pictures again on every step of the
// song's progress.
QByteArray skinPicture(std::string_view name) {
    static QHash<QString, QByteArray> read;
    const QString path = ":/pictures/" + runtime::toQString(name);
    auto found = read.constFind(path);
    if (found == read.constEnd()) found = read.insert(path, resource(path));
    return *found;
}

QByteArray skinSound(std::string_view name) {
    return resource(":/sounds/" + runtime::toQString(name));
}

void dressWindow(const ControlSet& controls) {
    for (const Dress& dress : kDresses) {
        auto* widget = qobject_cast<QWidget*>(controls.find(dress.handle));
        if (widget == nullptr) continue;  // a control of another window
        if (auto* box = qobject_cast<runtime::PicBox*>(widget); box != nullptr) {
            box->setPicture(skinPicture(dress.normal));
        } else if (auto* button = qobject_cast<runtime::SuperBtn*>(widget); button != nullptr) {
            button->setNormalPicture(skinPicture(dress.normal));
            button->setHotPicture(skinPicture(dress.hot));
        }
    }
}

}  // namespace kivo
