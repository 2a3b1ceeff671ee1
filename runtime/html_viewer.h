// The embedded web browser. Where no web engine is built in, it shows a page that offers to
// open the address in the default browser.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>

namespace kivo::runtime {

class HtmlViewer : public QWidget {
    Q_OBJECT
public:
    explicit HtmlViewer(QWidget* parent = nullptr);

    void navigate(std::string_view address);
    const std::string& address() const { return address_; }
    // Whether pages render inside the window.
    static bool rendersPages();

private:
    std::string address_;
    QWidget* view_ = nullptr;
};

}  // namespace kivo::runtime
