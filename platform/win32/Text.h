#pragma once

#include <string>

// The windows' strings are UTF-8; Win32 takes UTF-16.
class Text {
public:
    static std::wstring wide(const std::string& utf8);
};
