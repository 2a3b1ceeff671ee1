// The shape of a layered window follows what it shows, also when it showed little before.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "layered_window.h"
#include "pic_box.h"
#include "qt_app.h"

namespace kivo::runtime {
namespace {

QByteArray bitmap(QRgb colour, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

TEST(LayeredShape, GrowsBackAfterAShapeTakenWhileLittleShowed) {
    test::qtApp();
    LayeredWindow window(0xFFFFFF);
    window.resize(100, 100);
    auto* picture = new PicBox(&window);
    picture->setGeometry(20, 20, 40, 40);
    window.makeLayered();
    // What the window shows while its picture is still white: nothing but a dot.
    picture->setPicture(bitmap(qRgb(255, 255, 255), QSize(40, 40)));
    window.setMask(QRegion(0, 0, 1, 1));
    picture->setPicture(bitmap(qRgb(200, 10, 10), QSize(40, 40)));
    const QRegion shape = window.contentShape();
    EXPECT_TRUE(shape.contains(QPoint(25, 25)));
    EXPECT_TRUE(shape.contains(QPoint(59, 59)));
    EXPECT_FALSE(shape.contains(QPoint(10, 10)));
    EXPECT_FALSE(shape.contains(QPoint(61, 61)));
    // Hidden controls take no part.
    picture->hide();
    EXPECT_TRUE(window.contentShape().isEmpty());
}

}  // namespace
}  // namespace kivo::runtime
