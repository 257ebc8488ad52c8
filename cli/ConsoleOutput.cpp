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

QString shownSafely(const QString& message) {
    const bool endsLine = message.endsWith(QLatin1Char('\n'));
    const QStringView text = QStringView(message).first(message.size() - (endsLine ? 1 : 0));
    QString out;
    out.reserve(message.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool bidi = u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
                          (u >= 0x2066 && u <= 0x2069);
        if (u < 0x20 || u == 0x7F)
            out += QStringLiteral("\\x") +
                   QStringLiteral("%1").arg(unsigned(u), 2, 16, QLatin1Char('0')).toUpper();
        else if ((u >= 0x80 && u <= 0x9F) || bidi)
            out += QStringLiteral("<U+%1>").arg(
                QStringLiteral("%1").arg(unsigned(u), 4, 16, QLatin1Char('0')).toUpper());
        else
            out += c;
    }
    if (endsLine)
        out += QLatin1Char('\n');
    return out;
}

unsigned fileCodePage(bool utf8, unsigned consoleCodePage, unsigned ansiCodePage) {
    if (utf8)
        return Utf8CodePage;
    return consoleCodePage != 0 ? consoleCodePage : ansiCodePage;
}

} // namespace kb::cli
