// The checks and the final step of writing a run's PDF file on Windows.
#include "services/OutputFile.h"

#include <QDir>
#include <string>
#include <windows.h>

namespace kb::outputfile {

namespace {

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

QString systemError(DWORD error) {
    return qt_error_string(static_cast<int>(error));
}

} // namespace

QString refusal(const QString& path) {
    const std::wstring name = wide(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? QString() : systemError(error);
    }
    // Symbolic links and junctions alike.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return QStringLiteral("シンボリックリンクです（リンク先には書き込みません）");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return QStringLiteral("フォルダーです");
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return QStringLiteral("デバイスです");
    // Names such as NUL, CON or COM1 answer like files but are devices: only a disk file is written.
    const HANDLE file = ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return QString(); // the replacement says what is wrong with it
    const DWORD type = ::GetFileType(file);
    ::CloseHandle(file);
    if (type == FILE_TYPE_PIPE)
        return QStringLiteral("名前付きパイプです");
    return type == FILE_TYPE_DISK ? QString() : QStringLiteral("デバイスです");
}

bool flushToDisk(const QString& path, QString& why) {
    const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE || !::FlushFileBuffers(file)) {
        why = systemError(::GetLastError());
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
        return false;
    }
    ::CloseHandle(file);
    return true;
}

} // namespace kb::outputfile
