// How the Windows print spooler's printer status and attribute bits read as a QueueState (kept apart
// from the spooler call so that every bit can be checked, also those no test spooler can be made to
// set), and which of its jobs holds a document being spooled.
#pragma once
#include "services/PrintQueue.h"

#include <cstdint>
#include <string>

namespace kb {

// status: PRINTER_INFO_2::Status; attributes: PRINTER_INFO_2::Attributes (of an existing printer).
QueueState queueStateFromPrinter(std::uint32_t status, std::uint32_t attributes);

// The job of the named queue (UTF-8) whose document is named document (UTF-8) and is still being
// spooled, the newest when there are several; 0 when the spooler lists none.
int spooledJob(const std::string& queue, const std::string& document);

} // namespace kb
