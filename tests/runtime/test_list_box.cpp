#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "list_box.h"
#include "qt_app.h"

namespace kivo::runtime {
namespace {

class ListBoxTest : public ::testing::Test {
protected:
    QApplication& app_ = test::qtApp();  // before any widget member
    void SetUp() override { list.resize(300, 200); }
    void fill(std::initializer_list<const char*> texts) {
        for (const char* t : texts) list.addItem(t);
    }
    std::vector<std::string> items() const {
        std::vector<std::string> out;
        for (int i = 0; i < list.itemCount(); ++i) out.push_back(list.itemTextAt(i));
        return out;
    }
    QPoint centreOf(int row) { return list.visualItemRect(list.item(row)).center(); }
    ListBox list;
};

TEST_F(ListBoxTest, UnsortedKeepsTheOrderOfAdding) {
    EXPECT_EQ(list.addItem("b"), 0);
    EXPECT_EQ(list.addItem("A", 7), 1);
    EXPECT_EQ(list.addItem(""), 2);  // an empty line is an item too
    EXPECT_EQ(items(), (std::vector<std::string>{"b", "A", ""}));
    EXPECT_EQ(list.itemValue(1), 7);
}

TEST_F(ListBoxTest, SortedFlagPutsEveryNewItemInItsCaseInsensitivePlace) {
    list.setSorted(true);
    EXPECT_EQ(list.addItem("/m/b.mp3"), 0);
    EXPECT_EQ(list.addItem("/m/C.mp3"), 1);
    EXPECT_EQ(list.addItem("/m/a.mp3"), 0);
    EXPECT_EQ(list.addItem("/m/B.mp3"), 2);  // after the equal "b": equal texts keep their order
    EXPECT_EQ(items(), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3", "/m/B.mp3", "/m/C.mp3"}));
    list.setSorted(false);
    EXPECT_EQ(list.addItem("/m/0.mp3"), 4);
}

TEST_F(ListBoxTest, SelectionRuleClampsHighAndClearsLow) {
    fill({"a", "b", "c"});
    EXPECT_EQ(list.current(), -1);
    list.setCurrent(1);
    EXPECT_EQ(list.current(), 1);
    EXPECT_EQ(list.caretIndex(), 1);
    list.setCurrent(10);  // past the last item: the last item
    EXPECT_EQ(list.current(), 2);
    EXPECT_EQ(list.caretIndex(), 2);
    list.setCurrent(-1);  // cleared; the caret stays
    EXPECT_EQ(list.current(), -1);
    EXPECT_EQ(list.caretIndex(), 2);
    list.setCurrent(-7);
    EXPECT_EQ(list.current(), -1);
    // From -1, adding one selects the first item (the scans of the application rely on it).
    list.setCurrent(list.current() + 1);
    EXPECT_EQ(list.current(), 0);
}

TEST_F(ListBoxTest, ScanByWritingCurrentPlusOneEndsOnTheLastItem) {
    fill({"x", "y", "z"});
    list.setCurrent(-1);
    for (int i = 0; i < list.itemCount(); ++i) list.setCurrent(list.current() + 1);
    EXPECT_EQ(list.current(), 2);
    list.setCurrent(list.current() + 1);
    EXPECT_EQ(list.current(), 2);
}

TEST_F(ListBoxTest, TextOutOfRangeIsEmptyAndBytesAreKept) {
    std::string notUtf8 = "/music/\xC4\xE3\xBA\xC3.mp3";  // a GBK name on a Linux disk
    list.addItem(notUtf8);
    EXPECT_EQ(list.itemTextAt(0), notUtf8);
    EXPECT_EQ(list.itemTextAt(1), "");
    EXPECT_EQ(list.itemTextAt(-1), "");
    EXPECT_EQ(list.itemValue(5), 0);
}

TEST_F(ListBoxTest, AHugeOrMultiLineItemShowsOneShortLineButKeepsEveryByte) {
    const std::string huge(50u << 20, 'x');
    const std::string breaks = "/a.mp3\n/b.mp3\n/c\r\x01.mp3";
    list.addItem(breaks);  // the first item sets the height of all
    list.addItem(huge);
    EXPECT_EQ(list.itemTextAt(0), breaks);
    EXPECT_EQ(list.itemTextAt(1), huge);
    EXPECT_LE(list.item(1)->text().size(), 4097);
    list.show();
    EXPECT_LT(list.visualItemRect(list.item(0)).height(), 2 * list.fontMetrics().height());
    // A cut never splits a character: 4095 bytes of "a" and then a three-byte one.
    list.addItem(std::string(4095, 'a') + "\xe4\xbd\xa0" + "tail");
    EXPECT_TRUE(list.item(2)->text().startsWith(QString(4095, QChar('a')) + QChar(0x2026)));
}

TEST_F(ListBoxTest, EmptyListSelectionAndCaret) {
    EXPECT_EQ(list.caretIndex(), 0);
    list.setCurrent(3);
    EXPECT_EQ(list.current(), -1);
    fill({"a", "b"});
    list.setCurrent(1);
    list.removeAll();
    EXPECT_EQ(list.itemCount(), 0);
    EXPECT_EQ(list.current(), -1);
    EXPECT_EQ(list.caretIndex(), 0);
    // After a reload no item is selected and the caret is on the first.
    fill({"c", "d"});
    EXPECT_EQ(list.current(), -1);
    EXPECT_EQ(list.caretIndex(), 0);
}

TEST_F(ListBoxTest, DeleteReportsWhetherTheItemExisted) {
    fill({"a", "b", "c"});
    list.setCurrent(1);
    EXPECT_TRUE(list.deleteItem(1));
    EXPECT_FALSE(list.deleteItem(2));
    EXPECT_FALSE(list.deleteItem(-1));
    EXPECT_EQ(items(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(list.current(), -1);  // deleting the selected item leaves nothing selected
    EXPECT_GE(list.caretIndex(), 0);
    EXPECT_LT(list.caretIndex(), 2);
    list.setCurrent(1);
    EXPECT_TRUE(list.deleteItem(0));  // another item: the selected one stays selected
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(list.itemTextAt(list.current()), "c");
}

TEST_F(ListBoxTest, OnlyTheUserRaisesSelectionChanged) {
    fill({"a", "b", "c"});
    list.show();
    QSignalSpy changed(&list, &ListBox::selectionChanged);
    list.setCurrent(2);
    list.setCurrent(-1);
    list.deleteItem(0);
    list.addItem("d");
    EXPECT_EQ(changed.count(), 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(1));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(list.current(), 1);
    EXPECT_EQ(list.caretIndex(), 1);
}

TEST_F(ListBoxTest, RightClickKeepsTheSelectionAndRaisesRelease) {
    fill({"a", "b", "c"});
    list.show();
    list.setCurrent(0);
    QSignalSpy released(&list, &ListBox::rightButtonReleased);
    QSignalSpy changed(&list, &ListBox::selectionChanged);
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, centreOf(2));
    EXPECT_EQ(released.count(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(list.current(), 0);
}

TEST_F(ListBoxTest, DoubleClickAndKeysWithTheirCodes) {
    fill({"a", "b"});
    list.show();
    QSignalSpy doubled(&list, &ListBox::doubleClicked);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centreOf(0));
    EXPECT_EQ(doubled.count(), 1);
    QSignalSpy keys(&list, &ListBox::keyPressed);
    QTest::keyClick(&list, Qt::Key_Return);
    QTest::keyClick(&list, Qt::Key_Enter);
    QTest::keyClick(&list, Qt::Key_Delete);
    QTest::keyClick(&list, Qt::Key_A);
    ASSERT_EQ(keys.count(), 4);
    EXPECT_EQ(keys[0][0].toInt(), 13);
    EXPECT_EQ(keys[1][0].toInt(), 13);
    EXPECT_EQ(keys[2][0].toInt(), 46);
    EXPECT_EQ(keys[3][0].toInt(), 'A');
}

}  // namespace
}  // namespace kivo::runtime
