#include "platform/win32/Fatal.h"

#include "platform/win32/Text.h"

#include <windows.h>

#include <cstdio>

void Fatal::stop(const std::string& message) {
    const std::wstring text = Text::wide(message).value_or(L"Vardo cannot go on.");
    MessageBoxW(nullptr, text.c_str(), L"Vardo", MB_ICONERROR | MB_OK);
    ExitProcess(1);
}

void Fatal::cannotMake(const std::string& what, unsigned long error) {
    char code[32];
    std::snprintf(code, sizeof code, "%lu", error);
    stop("Vardo cannot make its " + what + " (error " + code + ").");
}
