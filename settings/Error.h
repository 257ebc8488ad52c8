// The one error type of the program: its message is what the user reads in the application error box.
#pragma once
#include <stdexcept>
#include <string>

namespace kb {

// Message in UTF-8, worded exactly as the user sees it (the error box appends the final period).
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failed open, read, write, close or rename of the start file; code is the classic I/O error number.
class IoError : public Error {
  public:
    explicit IoError(int code);
    int code() const { return m_code; }

  private:
    int m_code;
};

// The user-facing text of an I/O error code ("ファイルが見つかりません", …, "I/O エラー (%d)").
std::string ioErrorText(int code);

// The classic I/O error code for a system errno value (ENOENT -> 2, EACCES -> 5, ENOSPC -> 101, …).
int ioErrorCodeFromErrno(int errnoValue);

} // namespace kb
