#pragma once

#include <optional>
#include <string>

// The windows' strings are UTF-8; Win32 takes UTF-16.
class Text {
public:
    // Nothing for text that is not valid UTF-8: replacing what is invalid would hand the
    // system another string than the one given.
    static std::optional<std::wstring> wide(const std::string& utf8);
};
