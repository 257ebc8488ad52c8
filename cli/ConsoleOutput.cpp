// The choice of code page, the same on every platform.
#include "cli/ConsoleOutput.h"

#include <cerrno>

namespace kb::cli {

namespace {
constexpr unsigned Utf8CodePage = 65001;
}

int writeBytes(std::FILE* stream, const QByteArray& bytes) {
    const auto size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stream) != size)
        return errno ? errno : EIO;
    return 0;
}

unsigned fileCodePage(bool utf8, unsigned consoleCodePage, unsigned ansiCodePage) {
    if (utf8)
        return Utf8CodePage;
    return consoleCodePage != 0 ? consoleCodePage : ansiCodePage;
}

} // namespace kb::cli
