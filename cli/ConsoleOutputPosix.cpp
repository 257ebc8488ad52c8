// The command's text on POSIX systems: UTF-8 everywhere, --utf8 changes nothing.
#include "cli/ConsoleOutput.h"

namespace kb::cli {

void setUtf8Output(bool) {}

QByteArray encodeText(const QString& text, unsigned) {
    return text.toUtf8();
}

int writeText(std::FILE* stream, const QString& text) {
    return writeBytes(stream, text.toUtf8());
}

} // namespace kb::cli
