// vardo-icon-png ICO PNG: writes the program icon as a PNG for the desktop's icon theme, so
// the menu shows the very picture that the window carries.

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: vardo-icon-png ICON.ico OUTPUT.png\n", stderr);
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QImageReader reader(input, "ico");
    const QImage icon = reader.read();
    if (icon.isNull()) {
        std::fprintf(stderr, "vardo-icon-png: cannot read %s: %s\n", argv[1],
                     qPrintable(reader.errorString()));
        return 1;
    }
    // The mask becomes the alpha channel; keep it so the icon is not drawn on a black square.
    if (!icon.convertToFormat(QImage::Format_ARGB32).save(output, "PNG")) {
        std::fprintf(stderr, "vardo-icon-png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
