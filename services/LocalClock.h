// The local date for the date line, as both front ends show and print it.
#pragma once
#include "content/EntryModel.h"

namespace kb {

// Today as "yy/mm/dd" with the system's date separator, in Shift-JIS.
const Clock& platformClock();

} // namespace kb
