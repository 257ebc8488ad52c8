#include "content/EntryModel.h"

namespace kb {} // namespace kb
