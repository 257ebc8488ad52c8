#include "content/Composition.h"

namespace kb {} // namespace kb
