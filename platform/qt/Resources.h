#pragma once

class QCursor;
class QIcon;
class QPixmap;

// The program's pictures, icon and cursor, built into it from resources/ and named by file
// name ("face.gif"). Icons and cursors are read once and shared by every window that shows
// them; a null picture, icon, or the arrow cursor, for a name that is not there.
QPixmap resourcePicture(const char* name);
const QIcon& resourceIcon(const char* name);
const QCursor& resourceCursor(const char* name);
