#include "content/Sjis.h"

namespace kb {} // namespace kb
