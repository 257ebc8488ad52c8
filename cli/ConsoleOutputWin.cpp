// The command's text on Windows: UTF-16 to a console, a code page's bytes to a file or a pipe.
#include "cli/ConsoleOutput.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>

namespace kb::cli {

namespace {

bool utf8Output = false;

// The console behind stream, or nothing when it is a file, a pipe or closed.
HANDLE consoleOf(std::FILE* stream) {
    const HANDLE handle = ::GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

int writeConsole(HANDLE console, const QString& text) {
    const auto* data = reinterpret_cast<const wchar_t*>(text.utf16());
    qsizetype left = text.size();
    while (left > 0) {
        // Old consoles refuse one large write; a surrogate pair is never split between two.
        DWORD chunk = static_cast<DWORD>(std::min<qsizetype>(left, 8192));
        if (chunk < left && QChar::isHighSurrogate(data[chunk - 1]))
            --chunk;
        DWORD written = 0;
        if (!::WriteConsoleW(console, data, chunk, &written, nullptr) || written == 0)
            return EIO;
        data += written;
        left -= written;
    }
    return 0;
}

} // namespace

void setUtf8Output(bool utf8) {
    utf8Output = utf8;
}

QByteArray encodeText(const QString& text, unsigned codePage) {
    if (codePage == CP_UTF8 || text.isEmpty())
        return text.toUtf8();
    // One "?" for each character the code page lacks, a character outside the 16-bit range included.
    QString fitted;
    fitted.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const auto* c = reinterpret_cast<const wchar_t*>(text.utf16() + i);
        BOOL lost = FALSE;
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, c, static_cast<int>(n), nullptr, 0, nullptr,
                              &lost);
        fitted += lost ? QString(QLatin1Char('?')) : text.mid(i, n);
        i += n - 1;
    }
    const auto* data = reinterpret_cast<const wchar_t*>(fitted.utf16());
    const int size = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, data,
                                           static_cast<int>(fitted.size()), nullptr, 0, nullptr, nullptr);
    QByteArray out(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, data, static_cast<int>(fitted.size()),
                              out.data(), size, nullptr, nullptr);
    return out;
}

int writeText(std::FILE* stream, const QString& text) {
    if (const HANDLE console = consoleOf(stream)) {
        // What the C library still holds goes first.
        std::fflush(stream);
        return writeConsole(console, text);
    }
    return writeBytes(stream, encodeText(text, fileCodePage(utf8Output, ::GetConsoleOutputCP(), ::GetACP())));
}

} // namespace kb::cli
