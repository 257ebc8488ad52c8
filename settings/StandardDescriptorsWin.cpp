// Windows: each missing standard handle replaced by the null device, and the C runtime's descriptors
// 0, 1 and 2 with it, so that neither a handle nor a descriptor the program opens later is taken for
// standard output. A program of the desktop has none of them: it gets the null device as well.
#include "settings/StandardDescriptors.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace kb {

void keepStandardDescriptors() {
    const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int fd = 0; fd <= 2; ++fd) {
        const HANDLE handle = ::GetStdHandle(kinds[fd]);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            const HANDLE null =
                ::CreateFileW(L"NUL", fd == 0 ? GENERIC_READ : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            if (null != INVALID_HANDLE_VALUE)
                ::SetStdHandle(kinds[fd], null);
        }
        if (::_get_osfhandle(fd) == -1) {
            const int null = ::_open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
            if (null >= 0 && null != fd) {
                ::_dup2(null, fd);
                ::_close(null);
            }
        }
    }
}

} // namespace kb
