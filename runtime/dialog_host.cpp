#include "dialog_host.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <utility>
#include <vector>

#include "qt_text.h"

namespace kivo::runtime {

namespace {

QString fromLocal(const std::string& text) {
    QString s = toQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QWidget* ownerOr(QWidget* owner) {
    return owner ? owner : QApplication::activeWindow();
}

// "description|pattern;pattern|..." as Qt's "description (pattern pattern);;...".
QString qtFilter(const std::string& filter) {
    QStringList parts = toQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

class QtDialogHost : public DialogHost {
public:
    int messageBox(QWidget* owner, const std::string& text, uint32_t flags,
                   const std::string& caption) override {
        QMessageBox box(ownerOr(owner));
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowTitle(fromLocal(caption));
        box.setText(fromLocal(text));
        switch (flags & 0x70) {
            case kMbIconError:
                box.setIcon(QMessageBox::Critical);
                break;
            case kMbIconQuestion:
                box.setIcon(QMessageBox::Question);
                break;
            case kMbIconWarning:
                box.setIcon(QMessageBox::Warning);
                break;
            case kMbIconInformation:
                box.setIcon(QMessageBox::Information);
                break;
            default:
                break;
        }
        using B = QMessageBox::StandardButton;
        static const std::vector<std::pair<B, int>> kAll = {
            {B::Ok, kIdOk},         {B::Yes, kIdYes},     {B::No, kIdNo},
            {B::Abort, kIdAbort},   {B::Retry, kIdRetry}, {B::Ignore, kIdIgnore},
            {B::Cancel, kIdCancel},
        };
        std::vector<B> shown;
        switch (flags & 0xF) {
            case kMbOkCancel:
                shown = {B::Ok, B::Cancel};
                break;
            case kMbAbortRetryIgnore:
                shown = {B::Abort, B::Retry, B::Ignore};
                break;
            case kMbYesNoCancel:
                shown = {B::Yes, B::No, B::Cancel};
                break;
            case kMbYesNo:
                shown = {B::Yes, B::No};
                break;
            case kMbRetryCancel:
                shown = {B::Retry, B::Cancel};
                break;
            default:
                shown = {B::Ok};
                break;
        }
        QMessageBox::StandardButtons buttons;
        for (B b : shown) buttons |= b;
        box.setStandardButtons(buttons);
        box.setDefaultButton(shown.front());
        B pressed = static_cast<B>(box.exec());
        for (auto [button, result] : kAll) {
            if (button == pressed) return result;
        }
        // Closed without a button: the answer of the escape button.
        return shown.size() == 1 ? kIdOk : (flags & 0xF) == kMbYesNo ? kIdNo : kIdCancel;
    }

    std::string browseForFolder(QWidget* owner, const std::string& title,
                                bool includeFiles) override {
        QFileDialog dialog(ownerOr(owner), fromLocal(title));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, !includeFiles);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);  // keeps the path field
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return fromQString(QDir::toNativeSeparators(dialog.selectedFiles().front()));
    }

    std::string openFile(QWidget* owner, const std::string& filter,
                         const std::string& title) override {
        QFileDialog dialog(ownerOr(owner), fromLocal(title));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(qtFilter(filter));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return fromQString(QDir::toNativeSeparators(dialog.selectedFiles().front()));
    }

    QAction* trackMenu(QMenu* menu, QPoint at) override { return menu->exec(at); }

    void openWebPage(const std::string& address) override {
        QDesktopServices::openUrl(QUrl::fromUserInput(toQString(address)));
    }
};

DialogHost* installed = nullptr;

}  // namespace

DialogHost& dialogHost() {
    static QtDialogHost qtHost;
    return installed ? *installed : qtHost;
}

void setDialogHost(DialogHost* host) {
    installed = host;
}

int messageBox(const std::string& text, uint32_t flags, const std::string& caption) {
    return dialogHost().messageBox(nullptr, text, flags, caption);
}

std::string browseForFolder(const std::string& title, bool includeFiles) {
    return dialogHost().browseForFolder(nullptr, title, includeFiles);
}

void openWebPage(const std::string& address) {
    dialogHost().openWebPage(address);
}

void popupMenu(QMenu* menu) {
    if (menu) dialogHost().trackMenu(menu, QCursor::pos() + QPoint(3, 3));
}

}  // namespace kivo::runtime
