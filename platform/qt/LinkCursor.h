#pragma once

#include <QByteArray>
#include <QCursor>

// Reads a one-bit, 32 x 32 cursor file (the classic .cur layout: directory, bitmap header,
// two-entry colour table, colour bits, mask bits) into a cursor with the file's hot spot.
// Returns the arrow cursor if the data is not such a file.
QCursor cursorFromCurFile(const QByteArray& data);
