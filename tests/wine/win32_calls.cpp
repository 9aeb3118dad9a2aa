// Puts the Win32 run-time through what vardo.exe itself never hands it, for the desktop tests
// under Wine:
//   win32_calls hand-off HEX   hands the bytes HEX spells out (they need not be UTF-8, which a
//                              command line could not carry) to Win32Platform::ShellExecuteA
//                              as the target to open, and prints its result
//   win32_calls unmade-window  makes a form whose window the system refuses (a CBT hook, with
//                              the error ERROR_ACCESS_DENIED), and prints the text of the
//                              message box that says so before the program ends

#include "platform/Form.h"
#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class Unmade : public Form {
public:
    explicit Unmade(Platform& platform)
        : Form(platform) {
        setCaption("Unmade");
        setClientSize(40, 40);
    }
};

int handOff(const char* hex) {
    std::string target;
    for (const char* at = hex; at[0] && at[1]; at += 2) {
        const char pair[3] = {at[0], at[1], 0};
        target += static_cast<char>(std::strtoul(pair, nullptr, 16));
    }
    Win32Platform platform;
    const std::intptr_t result =
        platform.ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOW);
    std::printf("%lld\n", static_cast<long long>(result));
    return 0;
}

bool isForm(HWND window) {
    wchar_t name[32] = {};
    return GetClassNameW(window, name, 32) > 0 && std::wcscmp(name, L"VardoForm") == 0;
}

// Refuses the form's window; reads the message box's text once it is up, then closes it.
LRESULT CALLBACK refuseForms(int code, WPARAM wParam, LPARAM lParam) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && isForm(window)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 1;
    }
    if (code == HCBT_ACTIVATE) {
        // The message box's text is the static control 0xFFFF.
        wchar_t text[512] = {};
        if (GetDlgItemTextW(window, 0xFFFF, text, 512) > 0) {
            std::printf("%ls\n", text);
            std::fflush(stdout);
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int unmadeWindow() {
    SetWindowsHookExW(WH_CBT, refuseForms, nullptr, GetCurrentThreadId());
    Win32Platform platform;
    Unmade form(platform);
    form.Show();
    std::puts("the window was made");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "hand-off") == 0)
        return handOff(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "unmade-window") == 0)
        return unmadeWindow();
    std::fputs("usage: win32_calls hand-off HEX | unmade-window\n", stderr);
    return 2;
}
