#pragma once

#include <string>

// What the program cannot go on without: says what went wrong in a message box, then ends the
// program with status 1.
class Fatal {
public:
    [[noreturn]] static void stop(const std::string& message);
    // The system would not make what (a window, a button); error is GetLastError()'s reason,
    // read before anything else could change it.
    [[noreturn]] static void cannotMake(const std::string& what, unsigned long error);
};
