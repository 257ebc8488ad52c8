// Checks the chosen print queue before anything is sent: Qt itself would hold a job in a stopped
// queue, lose it in a queue that refuses jobs, and send it to another queue for an unknown name.
#pragma once
#include <QString>

#include "services/PrintQueue.h"

class QPrinter;

namespace kb {

// The message for the user when the queue cannot take the run, or an empty text when it can.
QString queueProblem(const QString& printerName, const QueueState& state);

// Empty when the printer can take the run; otherwise a message naming the queue. A file output
// (PDF) always can.
QString checkPrinter(const QPrinter& printer);

} // namespace kb
