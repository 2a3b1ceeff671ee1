// The file-open dialog as a control: it holds the filter and, after open, the chosen file.
#pragma once

#include <QObject>
#include <string>
#include <string_view>

class QWidget;

namespace kivo::runtime {

class CommonDlg : public QObject {
    Q_OBJECT
public:
    // `owner`: the window the dialog belongs to.
    explicit CommonDlg(QWidget* owner);

    // "description|pattern;pattern|..."
    void setFilter(std::string_view filter) { filter_ = filter; }
    const std::string& filter() const { return filter_; }
    void setTitle(std::string_view title) { title_ = title; }

    // Shows the dialog; afterwards fileName() is the chosen file, empty when cancelled.
    void open();
    const std::string& fileName() const { return fileName_; }

private:
    QWidget* owner_;
    std::string filter_;
    std::string title_;
    std::string fileName_;
};

}  // namespace kivo::runtime
