#include "content/Memo.h"

namespace kb {} // namespace kb
