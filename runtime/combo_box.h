// A drop-down list of fixed items. Only the user's choice raises selectionChanged; writing the
// current index from the program does not.
#pragma once

#include <QComboBox>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::runtime {

class ComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent = nullptr);

    void setItems(const std::vector<std::string_view>& items);
    // -1 = none; an index out of range also selects none.
    void setCurrent(int index);
    int current() const { return currentIndex(); }
    // Empty when the index is out of range.
    std::string itemTextAt(int index) const;
    // Shown while no item is chosen.
    void setPrompt(std::string_view text);
    void setTextColour(uint32_t bgr);

signals:
    void selectionChanged(int index);
};

}  // namespace kivo::runtime
