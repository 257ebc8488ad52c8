// A module the program loads from beside its executable the first time it needs it, so that the
// library behind it (libcups, libsqlite3, libzint) stays out of start-up. Only beside the executable,
// where the installation puts it: a path fixed at build time (a build folder under /tmp, deleted
// since) could later hold a module of anyone's making. POSIX only; Windows links those libraries in.
#pragma once
#include <string>

namespace kb {

class ModuleBeside {
  public:
    explicit ModuleBeside(const char* fileName);
    // The function `name` of the module, or null (why() then names it).
    template <typename F> F function(const char* name) { return reinterpret_cast<F>(symbol(name)); }
    // Empty while the module is loaded and every function asked for was found.
    const std::string& why() const { return m_why; }

  private:
    void* symbol(const char* name);

    void* m_handle = nullptr;
    std::string m_why;
};

} // namespace kb
