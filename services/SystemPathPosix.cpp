// Paths for the system calls on POSIX systems: the bytes of the name as the system keeps it.
#include "services/SystemPath.h"

#include <QFile>

namespace kb {

std::string systemPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace kb
