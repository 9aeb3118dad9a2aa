// Puts the Win32 run-time through what vardo.exe itself never hands it, for the desktop tests
// under Wine:
//   win32_calls hand-off HEX   hands the bytes HEX spells out (they need not be UTF-8, which a
//                              command line could not carry) to Win32Platform::ShellExecuteA
//                              as the target to open, and prints its result

#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

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

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "hand-off") == 0)
        return handOff(argv[2]);
    std::fputs("usage: win32_calls hand-off HEX\n", stderr);
    return 2;
}
