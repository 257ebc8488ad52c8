// Checks the chosen print queue before anything is sent: Qt itself would hold a job in a stopped
// queue, lose it in a queue that refuses jobs, and send it to another queue for an unknown name.
#pragma once
#include <QString>
#include <utility>

#include "print/PrintRun.h"
#include "services/PrintQueue.h"

class QPrinter;

namespace kb {

// The message for the user when the queue cannot take the run, or an empty text when it can.
QString queueProblem(const QString& printerName, const QueueState& state);

// A queue of the platform's spooler as a print run asks it. `known` false: Qt would print elsewhere
// for this name (it falls back to another queue silently), so the queue counts as missing.
class SpoolerQueue final : public RunQueue {
  public:
    explicit SpoolerQueue(QString name, bool known = true) : m_name(std::move(name)), m_known(known) {}
    QueueState state() override;
    JobStatus job(int id) override;
    const QString& name() const { return m_name; }

  private:
    QString m_name;
    bool m_known;
};

// Empty when the printer can take the run; otherwise a message naming the queue. A file output
// (PDF) always can.
QString checkPrinter(const QPrinter& printer);

} // namespace kb
