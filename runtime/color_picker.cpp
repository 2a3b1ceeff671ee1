#include "color_picker.h"

#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QWidgetAction>

#include "colour.h"

namespace kivo::runtime {

namespace {

// The drop-down's colours, 0xBBGGRR, in rows of eight.
constexpr uint32_t kColours[] = {
    0x000000, 0x808080, 0x000080, 0x008080, 0x008000, 0x808000, 0x800000, 0x800080,
    0xFFFFFF, 0xC0C0C0, 0x0000FF, 0x00FFFF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFF00FF,
    0xECECEC, 0xE1FFFF, 0x80C0FF, 0xC0FFC0, 0xFFC080, 0xFFC0C0, 0xC080FF, 0x4080FF,
};

}  // namespace

ColorPicker::ColorPicker(QWidget* parent) : QToolButton(parent) {
    setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(this);
    auto* grid = new QWidget(menu);
    auto* layout = new QGridLayout(grid);
    layout->setSpacing(2);
    layout->setContentsMargins(4, 4, 4, 4);
    int i = 0;
    for (uint32_t bgr : kColours) {
        auto* swatch = new QToolButton(grid);
        swatch->setFixedSize(18, 18);
        swatch->setAutoRaise(true);
        QPixmap face(14, 14);
        face.fill(colourFromBgr(bgr));
        swatch->setIcon(face);
        connect(swatch, &QToolButton::clicked, this, [this, menu, bgr] {
            menu->close();
            pick(bgr);
        });
        layout->addWidget(swatch, i / 8, i % 8);
        ++i;
    }
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(grid);
    menu->addAction(action);
    setMenu(menu);
}

void ColorPicker::pick(uint32_t bgr) {
    colour_ = bgr & 0xFFFFFF;
    update();
    emit colourChosen(colour_);
}

void ColorPicker::paintEvent(QPaintEvent* e) {
    QToolButton::paintEvent(e);
    QPainter painter(this);
    QRect swatch = rect().adjusted(4, 4, -14, -4);
    painter.fillRect(swatch, colourFromBgr(colour_));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

}  // namespace kivo::runtime
