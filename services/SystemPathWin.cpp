// Paths for the system calls on Windows: UTF-8 of the UTF-16 name, which the calls turn back into
// UTF-16 without loss, and the system's own separator, which is also how messages show the path.
#include "services/SystemPath.h"

#include <QDir>

namespace kb {

std::string systemPath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

} // namespace kb
