#include "platform/qt/Resources.h"

#include "platform/qt/LinkCursor.h"

#include <QCursor>
#include <QFile>
#include <QIcon>
#include <QPixmap>

#include <map>
#include <string>

namespace {

QString path(const char* name) {
    return QStringLiteral(":/resources/") + QString::fromUtf8(name);
}

} // namespace

QPixmap resourcePicture(const char* name) {
    return QPixmap(path(name));
}

// A QIcon of its own for each window would read the file again and add its scaled copies to
// the pixmap cache every time an About window opens.
const QIcon& resourceIcon(const char* name) {
    static std::map<std::string, QIcon> icons;
    auto [at, added] = icons.try_emplace(name);
    if (added)
        at->second = QIcon(path(name));
    return at->second;
}

const QCursor& resourceCursor(const char* name) {
    static std::map<std::string, QCursor> cursors;
    auto [at, added] = cursors.try_emplace(name);
    if (added) {
        QFile file(path(name));
        at->second =
            cursorFromCurFile(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return at->second;
}
