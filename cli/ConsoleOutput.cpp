// The choice of code page, the same on every platform.
#include "cli/ConsoleOutput.h"

namespace kb::cli {

namespace {
constexpr unsigned Utf8CodePage = 65001;
}

unsigned fileCodePage(bool utf8, unsigned consoleCodePage, unsigned ansiCodePage) {
    if (utf8)
        return Utf8CodePage;
    return consoleCodePage != 0 ? consoleCodePage : ansiCodePage;
}

} // namespace kb::cli
