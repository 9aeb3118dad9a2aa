#include "face/Form1.h"
#include "platform/win32/Win32Platform.h"

#include <objbase.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The pictures are decoded by WIC, a COM component.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Win32Platform platform;
    Form1 face(platform);
    face.Show();
    return platform.run();
}
