// Who may change the start file: one run at a time, of either front end. A run holds the start file
// from reading the start position until it has stored the next one; the window holds it for as long
// as it runs. Two runs never start from one value, whatever their environment or file names. Only
// someone who may write the start file can hold it or mark it as the window's: another user who may
// only read it can neither keep a run waiting nor pose as the window.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "settings/Error.h"

namespace kb {

// The hold file beside the start file exists but cannot be opened (another user's, a link planted
// in its place): named as the hold file in the message, not as the start file.
class HoldFileError : public IoError {
  public:
    HoldFileError(int code, std::string path) : IoError(code), m_path(std::move(path)) {}
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

class StartFileLock {
  public:
    enum class Kind { Run, Window };
    // HeldByReader: someone who may only read the start file keeps it locked; it happens only where no
    // hold file can be made beside the start file (a folder nobody who prints may write).
    enum class Outcome { Taken, HeldByWindow, HeldByRun, HeldByReader };

    StartFileLock() = default;
    ~StartFileLock();
    StartFileLock(const StartFileLock&) = delete;
    StartFileLock& operator=(const StartFileLock&) = delete;

    // Takes the start file at path (after its links) for this process, without waiting. A file that
    // another run or window holds is no error: the outcome says which of the two holds it. Throws
    // IoError when the file cannot be opened (ENOENT: missing) or its file system cannot lock.
    Outcome take(const std::string& path, Kind kind);
    bool held() const { return m_handle != -1; }
    // Whether the file at the path is still the one held: a start file replaced behind the program's
    // back (saved by an editor) is taken again; false when another run has taken the new file first.
    // Where the hold is kept in a file of its own beside the start file, a replaced start file is still
    // held; a hold file removed behind the program's back is made and taken again.
    bool confirm();
    void release();

    // The start file's writes call these around a replace. Where the start file itself carries the lock
    // (no hold file could be made), the new file, still open as fd, is taken before it takes the start
    // file's name, so that the start file is held at every moment; otherwise they do nothing.
    int prepareReplace(int fd);
    void commitReplace();
    void abandonReplace();

  private:
    std::string m_path;
    std::string m_holdPath; // POSIX: the file whose lock is the hold (the hold file or the start file)
    Kind m_kind = Kind::Run;
    std::intptr_t m_handle = -1;  // the locked file: descriptor (POSIX) or handle (Windows)
    std::intptr_t m_pending = -1; // POSIX: the new file of a replace under way
};

} // namespace kb
