#include "html_viewer.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_host.h"
#include "qt_text.h"

#ifdef KIVO_HAVE_WEBENGINE
#include <QUrl>
#include <QWebEngineView>
#endif

namespace kivo::runtime {

namespace {

// Stands in for the page where no web engine is built in.
class BrowserOffer : public QWidget {
public:
    explicit BrowserOffer(HtmlViewer* viewer) : QWidget(viewer) {
        // Opaque and off the colour keys, so the page does not show through in a layered window.
        setAutoFillBackground(true);
        QPalette page = palette();
        page.setColor(QPalette::Window, QColor(0xF7, 0xF7, 0xF7));
        setPalette(page);
        auto* layout = new QVBoxLayout(this);
        layout->addStretch();
        note_ = new QLabel(this);
        note_->setAlignment(Qt::AlignCenter);
        note_->setWordWrap(true);
        note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(note_);
        auto* open = new QPushButton(QStringLiteral("在默认浏览器中打开"), this);
        open->setObjectName(QStringLiteral("openInBrowser"));
        layout->addWidget(open, 0, Qt::AlignCenter);
        layout->addStretch();
        connect(open, &QPushButton::clicked, this, [viewer] { openWebPage(viewer->address()); });
    }
    void show(const std::string& address) {
        note_->setText(QStringLiteral("本窗口不能直接显示网页。\n") + toQString(address));
    }

private:
    QLabel* note_;
};

}  // namespace

HtmlViewer::HtmlViewer(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
#ifdef KIVO_HAVE_WEBENGINE
    view_ = new QWebEngineView(this);
#else
    view_ = new BrowserOffer(this);
#endif
    layout->addWidget(view_);
}

bool HtmlViewer::rendersPages() {
#ifdef KIVO_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

void HtmlViewer::navigate(std::string_view address) {
    address_ = address;
#ifdef KIVO_HAVE_WEBENGINE
    static_cast<QWebEngineView*>(view_)->setUrl(QUrl::fromUserInput(toQString(address_)));
#else
    static_cast<BrowserOffer*>(view_)->show(address_);
#endif
}

}  // namespace kivo::runtime
