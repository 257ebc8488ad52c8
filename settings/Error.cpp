#include "settings/Error.h"

namespace kb {} // namespace kb
