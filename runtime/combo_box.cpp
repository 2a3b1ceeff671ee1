#include "combo_box.h"

#include "colour.h"

namespace kivo::runtime {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    // activated comes only from the user; currentIndexChanged would follow program writes too.
    connect(this, &QComboBox::activated, this, &ComboBox::selectionChanged);
}

void ComboBox::setItems(const std::vector<std::string_view>& items) {
    clear();
    for (std::string_view item : items) {
        addItem(QString::fromUtf8(item.data(), qsizetype(item.size())));
    }
}

void ComboBox::setCurrent(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

std::string ComboBox::itemTextAt(int index) const {
    if (index < 0 || index >= count()) return {};
    return itemText(index).toUtf8().toStdString();
}

void ComboBox::setPrompt(std::string_view text) {
    setPlaceholderText(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

void ComboBox::setTextColour(uint32_t bgr) {
    for (auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
        setPaletteColour(*this, role, bgr);
    }
}

}  // namespace kivo::runtime
