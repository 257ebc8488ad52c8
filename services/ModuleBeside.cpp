#include "services/ModuleBeside.h"

#include <QCoreApplication>
#include <dlfcn.h>

namespace kb {

ModuleBeside::ModuleBeside(const char* fileName) {
    const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/" + fileName;
    m_handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* why = dlerror();
        m_why = why ? why : beside;
    }
}

void* ModuleBeside::symbol(const char* name) {
    void* found = m_handle ? dlsym(m_handle, name) : nullptr;
    if (m_handle && !found)
        m_why += (m_why.empty() ? "" : ", ") + std::string(name);
    return found;
}

} // namespace kb
