// A path as Qt holds it, given to the start file and the other system calls of settings/, which take
// paths as byte strings. On Windows that string is the UTF-8 form of the UTF-16 name, with "\" between
// folders, and the calls turn it back into UTF-16 for the system's wide calls: no path passes through
// the ANSI code page, which cannot hold every name a folder may have. Elsewhere it is the file name
// encoding of the system (QFile::encodeName).
#pragma once
#include <QString>
#include <string>

namespace kb {

std::string systemPath(const QString& path);

} // namespace kb
