// The song list: one text per line, kept byte for byte.
//
// Rules the application relies on: writing a current index past the last item selects the
// last item, writing -1 or lower clears the selection; the caret (the item with the focus
// mark) follows every write of a valid index and stays where it was when the selection is
// cleared; the text of an index out of range is empty. With the sorted flag on, every added
// item goes to its place in the list's own case-insensitive order. Only the user raises
// selectionChanged; a right click does not move the selection.
#pragma once

#include <QListWidget>
#include <string>
#include <string_view>

namespace kivo::runtime {

class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // The index the item got, or -1 when the list refuses it.
    int addItem(std::string_view text, int value = 0);
    // Whether the item existed.
    bool deleteItem(int index);
    void removeAll();
    int itemCount() const { return count(); }
    std::string itemTextAt(int index) const;
    int itemValue(int index) const;

    int current() const;
    void setCurrent(int index);
    int caretIndex() const;

    void setSorted(bool sorted) { sorted_ = sorted; }
    bool isSorted() const { return sorted_; }

    void setTextColour(uint32_t bgr);
    void setBackgroundColour(uint32_t bgr);

    // The list's own order: case-insensitive.
    static bool sortsBefore(std::string_view a, std::string_view b);

signals:
    void selectionChanged();
    void doubleClicked();
    // The key's Windows virtual-key code (13 Enter, 46 Delete, 'A'..'Z', ...).
    void keyPressed(int keyCode);
    void rightButtonReleased();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool sorted_ = false;
    int programWrites_ = 0;  // > 0 while the program changes the selection
};

// The key codes keyPressed reports: Windows virtual-key codes. Digits and letters are their
// capital ASCII codes, F1 to F24 run from kKeyF1 on.
enum KeyCode : int {
    kKeyBackspace = 8,
    kKeyTab = 9,
    kKeyEnter = 13,
    kKeyShift = 16,
    kKeyControl = 17,
    kKeyAlt = 18,
    kKeyPause = 19,
    kKeyEscape = 27,
    kKeySpace = 32,
    kKeyPageUp = 33,
    kKeyPageDown = 34,
    kKeyEnd = 35,
    kKeyHome = 36,
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
    kKeyInsert = 45,
    kKeyDelete = 46,
    kKeyF1 = 0x70,
};

// The key code of a Qt key; 0 for keys without one.
int virtualKeyCode(int qtKey);

}  // namespace kivo::runtime
