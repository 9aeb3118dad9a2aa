// The floor of the benchmark: a bare Qt Widgets window of the face's size and kind (94 x 138,
// frameless) with a 100 ms timer that reads the cursor position and does nothing else. Whatever
// vardo costs above this is the cost of the face itself.

#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);

    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("vardo-bench-floor"));
    window.setFixedSize(94, 138);

    QTimer timer;
    QPoint cursor;
    QObject::connect(&timer, &QTimer::timeout, [&cursor] { cursor = QCursor::pos(); });
    timer.start(100);

    window.show();
    return QApplication::exec();
}
