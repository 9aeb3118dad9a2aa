#pragma once

#include "platform/ApiTypes.h"
#include "platform/win32/Picture.h"

#include <windows.h>

// The pictures, the icon and the cursor embedded in the executable, by the file names the
// windows use ("face.gif", "vardo.ico", "link.cur"). Each is read once (an icon or a cursor once
// for each size) and kept. A name that is not embedded, or a picture that cannot be decoded, ends
// the program with a message box: the executable was built wrong.
class Resources {
public:
    // Decoded by the system's imaging component (WIC).
    static const Picture& picture(const char* name);
    // The icon at size x size pixels.
    static HICON icon(const char* name, int size);
    // The cursor at the size it has at dpi (32 x 32 at 96).
    static HCURSOR cursor(const char* name, int dpi);

private:
    static HANDLE image(const char* name, UINT type, int size);
};
