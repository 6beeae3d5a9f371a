// e2e-dragsource FILE X Y: a window at X, Y that, pressed, drags FILE as a file
// manager would, for xdotool to carry onto the player. Prints "accepted" or "not
// accepted" as the target changes its mind, then "dropped" or "refused"; stays
// until ended, as the target reads the dropped data from it.
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QRasterWindow>
#include <QUrl>
#include <cstdio>
#include <cstdlib>

struct DragSource final : QRasterWindow {
    QUrl file;

    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(0, 0, width(), height(), Qt::darkCyan);
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
        // On the heap: Qt deletes the drag once the target has read the data.
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        QObject::connect(drag, &QDrag::actionChanged, [](Qt::DropAction action) {
            std::puts(action == Qt::CopyAction ? "accepted" : "not accepted");
        });
        std::puts(drag->exec(Qt::CopyAction) == Qt::CopyAction ? "dropped" : "refused");
    }
};

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it is said
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
