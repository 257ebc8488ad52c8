// The command's text on POSIX systems: UTF-8 everywhere, --utf8 changes nothing.
#include "cli/ConsoleOutput.h"

#include <cerrno>

namespace kb::cli {

void setUtf8Output(bool) {}

QByteArray encodeText(const QString& text, unsigned) {
    return text.toUtf8();
}

int writeText(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const auto size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stream) != size)
        return errno ? errno : EIO;
    return 0;
}

} // namespace kb::cli
