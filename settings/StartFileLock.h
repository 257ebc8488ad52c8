// Who may change the start file: one run at a time, of either front end. A run holds the start file
// from reading the start position until it has stored the next one; the window holds it for as long
// as it runs. Two runs never start from one value, whatever their environment or file names.
#pragma once
#include <cstdint>
#include <string>

namespace kb {

class StartFileLock {
  public:
    enum class Kind { Run, Window };
    enum class Outcome { Taken, HeldByWindow, HeldByRun };

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
    bool confirm();
    void release();

    // The start file's writes call these around a replace: the new file, still open as fd, is taken
    // before it takes the start file's name, so that the start file is held at every moment.
    int prepareReplace(int fd);
    void commitReplace();
    void abandonReplace();

  private:
    std::string m_path;
    Kind m_kind = Kind::Run;
    std::intptr_t m_handle = -1;  // the held file (POSIX) or the run's named mutex (Windows)
    std::intptr_t m_marker = -1;  // Windows: the window's named mutex
    std::intptr_t m_pending = -1; // POSIX: the new file of a replace under way
};

} // namespace kb
