#include "sheet/SheetRules.h"

namespace kb {} // namespace kb
