// The command's text on standard output and standard error. On Linux it is UTF-8, as the terminal and
// the files of the system read it. On Windows a console gets it as UTF-16 (WriteConsoleW), whatever its
// code page; a file or a pipe gets it in the console's output code page, or, without a console, in the
// ANSI code page (932 on a Japanese Windows: what `type`, `findstr`, PowerShell 5.1 and Excel read),
// unless --utf8 asks for UTF-8. Label texts always fit code page 932; a character of a path that the
// code page lacks is written as "?".
#pragma once
#include <QByteArray>
#include <QString>
#include <cstdio>

namespace kb::cli {

// UTF-8 for files and pipes (--utf8); set before anything is written.
void setUtf8Output(bool utf8);

// Writes text to stream (stdout or stderr); 0, or the errno value of the failure.
int writeText(std::FILE* stream, const QString& text);

// Writes bytes to stream whole; 0, or the errno value of the failure.
int writeBytes(std::FILE* stream, const QByteArray& bytes);

// The code page a file or a pipe is written in: UTF-8 when asked for, else the console's output code
// page when there is a console (consoleCodePage not 0), else the ANSI code page.
unsigned fileCodePage(bool utf8, unsigned consoleCodePage, unsigned ansiCodePage);

// A message as it may reach a terminal: every control character (C0 and C1, DEL, and the marks that
// turn the direction of text, such as U+202E) shown as \x1B or <U+202E>, so that nothing taken from
// an argument or a file can move the cursor, recolour or reorder what the user reads. A line feed
// that ends the message stays.
QString shownSafely(const QString& message);

// text in codePage (65001: UTF-8); a character the code page lacks becomes "?", never a look-alike.
QByteArray encodeText(const QString& text, unsigned codePage);

} // namespace kb::cli
