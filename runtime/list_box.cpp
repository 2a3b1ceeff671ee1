#include "list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "colour.h"
#include "qt_text.h"

namespace kivo::runtime {

namespace {

constexpr int kBytesRole = Qt::UserRole + 1;  // the item's exact bytes
constexpr int kValueRole = Qt::UserRole + 2;

// What one item shows is at most this many bytes of its text: more than any path the system
// opens, and little enough that a 50 MB line of a damaged list costs the view no more to lay
// out than a real path.
constexpr std::size_t kShownBytes = 4096;
constexpr char16_t kControlPictures = 0x2400;  // U+2400 + c pictures the control byte c
constexpr char16_t kEllipsis = 0x2026;

// The item's caption. Line breaks and other control bytes show as their pictures: one of them
// would make the item several lines tall, and with uniform item sizes every item with it.
QString shown(std::string_view text) {
    std::size_t length = std::min(text.size(), kShownBytes);
    while (length > 0 && length < text.size() && (uint8_t(text[length]) & 0xC0) == 0x80) {
        --length;  // never cut a character in two
    }
    QString caption = toQString(text.substr(0, length));
    for (QChar& c : caption) {
        if (c.unicode() < 0x20) c = QChar(char16_t(kControlPictures + c.unicode()));
    }
    if (length < text.size()) caption += QChar(kEllipsis);
    return caption;
}

// Counts program writes of the selection so that they do not pass for the user's.
struct ProgramWrite {
    int& depth;
    explicit ProgramWrite(int& d) : depth(d) { ++depth; }
    ~ProgramWrite() { --depth; }
};

}  // namespace

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (programWrites_ == 0) emit selectionChanged();
    });
}

bool ListBox::sortsBefore(std::string_view a, std::string_view b) {
    return toQString(a).compare(toQString(b), Qt::CaseInsensitive) < 0;
}

int ListBox::addItem(std::string_view text, int value) {
    ProgramWrite write(programWrites_);
    int at = count();
    if (sorted_) {
        // After the items that sort equal, so equal texts keep the order they came in.
        int lo = 0, hi = count();
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (sortsBefore(text, itemTextAt(mid))) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        at = lo;
    }
    auto* item = new QListWidgetItem(shown(text));
    item->setData(kBytesRole, QByteArray(text.data(), qsizetype(text.size())));
    item->setData(kValueRole, value);
    insertItem(at, item);
    return at;
}

bool ListBox::deleteItem(int index) {
    if (index < 0 || index >= count()) return false;
    ProgramWrite write(programWrites_);
    bool wasSelected = current() == index;
    delete takeItem(index);
    // The view would select a neighbour; the list leaves nothing selected, as it always has.
    if (wasSelected) clearSelection();
    return true;
}

void ListBox::removeAll() {
    ProgramWrite write(programWrites_);
    clear();
}

std::string ListBox::itemTextAt(int index) const {
    if (index < 0 || index >= count()) return {};
    return item(index)->data(kBytesRole).toByteArray().toStdString();
}

int ListBox::itemValue(int index) const {
    if (index < 0 || index >= count()) return 0;
    return item(index)->data(kValueRole).toInt();
}

int ListBox::current() const {
    const auto selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.front().row();
}

void ListBox::setCurrent(int index) {
    ProgramWrite write(programWrites_);
    if (index < 0 || count() == 0) {
        clearSelection();  // the caret stays where it is
        return;
    }
    setCurrentRow(std::min(index, count() - 1), QItemSelectionModel::ClearAndSelect);
}

int ListBox::caretIndex() const {
    return std::max(currentRow(), 0);
}

void ListBox::setTextColour(uint32_t bgr) {
    setPaletteColour(*this, QPalette::Text, bgr);
}

void ListBox::setBackgroundColour(uint32_t bgr) {
    setPaletteColour(*this, QPalette::Base, bgr);
}

void ListBox::mousePressEvent(QMouseEvent* e) {
    // A right click leaves the selection alone: the pop-up that follows acts on it. Nor does
    // a click below the last song: a classic list box keeps its selection there.
    if (e->button() == Qt::RightButton || !indexAt(e->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
        e->accept();
        return;
    }
    QListWidget::mousePressEvent(e);
}

void ListBox::mouseReleaseEvent(QMouseEvent* e) {
    QListWidget::mouseReleaseEvent(e);
    if (e->button() == Qt::RightButton) emit rightButtonReleased();
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* e) {
    QListWidget::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton) emit doubleClicked();
}

void ListBox::keyPressEvent(QKeyEvent* e) {
    int code = virtualKeyCode(e->key());
    if (code != 0) emit keyPressed(code);
    QListWidget::keyPressEvent(e);
}

int virtualKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;  // same codes
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return kKeyF1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Backspace:
            return kKeyBackspace;
        case Qt::Key_Tab:
            return kKeyTab;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kKeyEnter;
        case Qt::Key_Shift:
            return kKeyShift;
        case Qt::Key_Control:
            return kKeyControl;
        case Qt::Key_Alt:
            return kKeyAlt;
        case Qt::Key_Pause:
            return kKeyPause;
        case Qt::Key_Escape:
            return kKeyEscape;
        case Qt::Key_Space:
            return kKeySpace;
        case Qt::Key_PageUp:
            return kKeyPageUp;
        case Qt::Key_PageDown:
            return kKeyPageDown;
        case Qt::Key_End:
            return kKeyEnd;
        case Qt::Key_Home:
            return kKeyHome;
        case Qt::Key_Left:
            return kKeyLeft;
        case Qt::Key_Up:
            return kKeyUp;
        case Qt::Key_Right:
            return kKeyRight;
        case Qt::Key_Down:
            return kKeyDown;
        case Qt::Key_Insert:
            return kKeyInsert;
        case Qt::Key_Delete:
            return kKeyDelete;
        default:
            return 0;
    }
}

}  // namespace kivo::runtime
