// Takes the mouse capture from the face's window, as another program can in the middle of a
// drag: joins its input to the face's thread, then captures with a window of its own. Prints
// "taken" once it holds the capture, and keeps it until it is ended; with --give-back it lets
// go of it at once, as the system does after the lock screen, and prints "given back". For the
// desktop tests under Wine.

#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const bool giveBack = argc == 2 && std::strcmp(argv[1], "--give-back") == 0;
    HWND face = nullptr;
    for (int tries = 0; tries < 100 && !face; ++tries) {
        face = FindWindowW(nullptr, L"Vardo");
        if (!face)
            Sleep(50);
    }
    if (!face) {
        fputs("take_capture: no window titled Vardo\n", stderr);
        return 1;
    }
    const DWORD faceThread = GetWindowThreadProcessId(face, nullptr);
    HWND own = CreateWindowExW(0, L"STATIC", L"take_capture", WS_POPUP, 0, 0, 1, 1, nullptr,
                               nullptr, nullptr, nullptr);
    if (!own || !AttachThreadInput(GetCurrentThreadId(), faceThread, TRUE)) {
        fprintf(stderr, "take_capture: cannot join the face's input (error %lu)\n", GetLastError());
        return 1;
    }
    SetCapture(own);
    puts(GetCapture() == own ? "taken" : "refused");
    if (giveBack) {
        ReleaseCapture();
        puts(GetCapture() ? "kept" : "given back");
    }
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
