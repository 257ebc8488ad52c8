#include "settings/Error.h"

#include <cerrno>
#include <initializer_list>

namespace kb {

IoError::IoError(int code) : Error(ioErrorText(code)), m_code(code) {}

std::string ioErrorText(int code) {
    switch (code) {
    case 2:
        return "ファイルが見つかりません";
    case 3:
        return "ファイル名の指定が間違っています";
    case 4:
        return "オープンしたファイルが多すぎます";
    case 5:
        return "ファイルへのアクセスが拒否されました";
    case 19:
        return "書き込み禁止のディスクです（読み取り専用のファイルシステム）";
    case 100:
        return "ファイルの末尾以降を読み込みました";
    case 101:
        return "ディスクがいっぱいです";
    case 106:
        return "入力値が数値ではありません";
    default:
        return "I/O エラー (" + std::to_string(code) + ")";
    }
}

int ioErrorCodeFromErrno(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
        return 2;
    case ENAMETOOLONG:
    case EINVAL:
    case ENOTDIR:
    case ELOOP:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EISDIR:
        return 5;
    case EROFS:
        return 19;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return 101;
    default:
        break;
    }
    // Any other errno is shown by its number, unless that number is one of the codes above and would
    // read as something it is not (EIO is 5 on Linux, and is no refused access): those become the
    // classic "I/O device error".
    constexpr int ioDeviceError = 1117;
    for (const int tableCode : {2, 3, 4, 5, 19, 100, 101, 106})
        if (errnoValue == tableCode)
            return ioDeviceError;
    return errnoValue;
}

} // namespace kb
