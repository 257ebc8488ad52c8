#include "app/Pictures.h"

#include <cstring>

namespace kb {

namespace xpm {
#include "exit.xpm"
#include "icon.xpm"
#include "logo61.xpm"
#include "logo64.xpm"
#include "printer.xpm"
#include "stop.xpm"
} // namespace xpm

QImage picture(const char* name) {
    static const struct {
        const char* name;
        const char* const* data;
    } pictures[] = {{"icon", xpm::icon}, {"logo61", xpm::logo61}, {"logo64", xpm::logo64},
                    {"exit", xpm::exit}, {"stop", xpm::stop},     {"printer", xpm::printer}};
    for (const auto& p : pictures)
        if (std::strcmp(p.name, name) == 0)
            return QImage(p.data);
    return {};
}

} // namespace kb
