#include "common_dlg.h"

#include <QWidget>

#include "dialog_host.h"

namespace kivo::runtime {

CommonDlg::CommonDlg(QWidget* owner) : QObject(owner), owner_(owner) {}

void CommonDlg::open() {
    fileName_ = dialogHost().openFile(owner_, filter_, title_);
}

}  // namespace kivo::runtime
