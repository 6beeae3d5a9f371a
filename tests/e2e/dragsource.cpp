// A small window that, when pressed, drags one file as a file manager would,
// so that a test can carry the drag with xdotool onto the player's window.
// Prints "accepted" or "not accepted" whenever the target under the pointer
// changes its mind, and "dropped" or "refused" once the button is released.
// It then stays until it is ended: the target reads the dropped data from it.
// Usage: e2e-dragsource FILE X Y
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QRasterWindow>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

namespace {

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

struct DragSource final : QRasterWindow {
    QUrl file;

    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::darkCyan);
    }
    // Its own drag is no drop for itself.
    bool event(QEvent* event) override {
        if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove)
            return QRasterWindow::event(event);
        event->ignore();
        return true;
    }
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls({file});
        // On the heap, as Qt wants it: the target asks for the data after the
        // button is released, and Qt deletes the drag once that is done.
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        QObject::connect(drag, &QDrag::actionChanged, [](Qt::DropAction action) {
            say(action == Qt::CopyAction ? "accepted" : "not accepted");
        });
        say(drag->exec(Qt::CopyAction) == Qt::CopyAction ? "dropped" : "refused");
    }
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE X Y\n", argv[0]);
        return 2;
    }
    DragSource window;
    window.file = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1]));
    window.setTitle(QStringLiteral("drag source"));
    window.setGeometry(std::atoi(argv[2]), std::atoi(argv[3]), 64, 64);
    window.show();
    return app.exec();
}
