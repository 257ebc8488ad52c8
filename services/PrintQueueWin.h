// How the Windows print spooler's printer status and attribute bits read as a QueueState. Kept apart
// from the spooler call so that every bit can be checked, also those no test spooler can be made to set.
#pragma once
#include "services/PrintQueue.h"

#include <cstdint>

namespace kb {

// status: PRINTER_INFO_2::Status; attributes: PRINTER_INFO_2::Attributes (of an existing printer).
QueueState queueStateFromPrinter(std::uint32_t status, std::uint32_t attributes);

} // namespace kb
