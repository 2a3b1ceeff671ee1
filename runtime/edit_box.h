// A single-line text field. Writing the text raises contentChanged just like typing.
#pragma once

#include <QLineEdit>
#include <string>
#include <string_view>

namespace kivo::runtime {

class EditBox : public QLineEdit {
    Q_OBJECT
public:
    explicit EditBox(QWidget* parent = nullptr);

    std::string content() const;
    void setContent(std::string_view text);
    void setTextColour(uint32_t bgr);

signals:
    void contentChanged();
    void gotFocus();
    void lostFocus();

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
};

}  // namespace kivo::runtime
