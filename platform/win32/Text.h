#pragma once

#include <string>

// The windows' strings are UTF-8; Win32 takes UTF-16, or 8-bit text in the system code page.
class Text {
public:
    static std::wstring wide(const std::string& utf8);
    // Characters the code page lacks become its default character.
    static std::string systemCodePage(const std::string& utf8);
};
