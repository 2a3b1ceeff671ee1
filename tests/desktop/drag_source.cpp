// A stand-in for a file manager in the drop test: a small window that, when pressed, drags the
// files named on its command line as a file manager does (a list of file URLs), then says on
// standard output whether the drop was taken. It stays until it is ended: the receiver fetches
// the files' names from it after the drop, as from a file manager that is still open.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QStringList paths) : paths_(std::move(paths)) {}

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : paths_) urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const bool taken = drag->exec(Qt::CopyAction) == Qt::CopyAction;
        std::printf("%s\n", taken ? "taken" : "refused");
        std::fflush(stdout);
    }

private:
    const QStringList paths_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DragSource source(QApplication::arguments().mid(1));
    source.setWindowTitle("kivo-drag-source");
    source.setGeometry(800, 600, 120, 120);
    source.show();
    std::printf("shown\n");
    std::fflush(stdout);
    return app.exec();
}
