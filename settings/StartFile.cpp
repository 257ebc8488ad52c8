#include "settings/StartFile.h"

namespace kb {} // namespace kb
