#include "print/PrintRules.h"

namespace kb {} // namespace kb
