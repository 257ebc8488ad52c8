// kb-hold-open FILE STOPFILE: holds FILE open as a spreadsheet holds the workbook it shows (others may
// read it, nobody may write it) until STOPFILE appears, for the end-to-end test of a run beside it.
// Says "held" on standard output once it holds the file; exits 1 when it cannot.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const HANDLE held =
        ::CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return 1;
    std::puts("held");
    std::fflush(stdout);
    while (::GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES)
        ::Sleep(100);
    ::CloseHandle(held);
    return 0;
}
