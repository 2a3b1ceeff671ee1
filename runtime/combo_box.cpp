#include "combo_box.h"

#include "colour.h"
#include "qt_text.h"

namespace kivo::runtime {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    // activated comes only from the user; currentIndexChanged would follow program writes too.
    connect(this, &QComboBox::activated, this, &ComboBox::selectionChanged);
}

void ComboBox::setItems(const std::vector<std::string_view>& items) {
    clear();
    for (std::string_view item : items) {
        addItem(toQString(item));
    }
}

void ComboBox::setCurrent(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

std::string ComboBox::itemTextAt(int index) const {
    if (index < 0 || index >= count()) return {};
    return fromQString(itemText(index));
}

void ComboBox::setPrompt(std::string_view text) {
    setPlaceholderText(toQString(text));
}

void ComboBox::setTextColour(uint32_t bgr) {
    for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
        setPaletteColour(*this, role, bgr);
    }
}

}  // namespace kivo::runtime
