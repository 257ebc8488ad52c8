#include "services/PrinterCheck.h"

#include <QPrinter>

namespace kb {

QString queueProblem(const QString& printerName, const QueueState& state) {
    if (!state.reachable)
        return QStringLiteral(
            "印刷システム（スプーラー）に接続できません。印刷システムが動いているか確かめてください");
    if (printerName.isEmpty())
        return QStringLiteral("プリンターが選択されていません");
    if (!state.exists)
        return QStringLiteral("プリンター「%1」が見つかりません").arg(printerName);
    if (state.stopped)
        return QStringLiteral("プリンター「%1」は停止しています。再開してから印刷してください")
            .arg(printerName);
    if (!state.acceptingJobs)
        return QStringLiteral("プリンター「%1」は印刷を受け付けていません").arg(printerName);
    return {};
}

QString checkPrinter(const QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::NativeFormat)
        return {};
    const QString name = printer.printerName();
    return queueProblem(name, queryQueue(name.toStdString()));
}

QueueState SpoolerQueue::state() {
    if (m_name.isEmpty() || !m_known) {
        // An unknown name is reported as missing, unless the print system itself did not answer.
        QueueState missing;
        missing.reachable = queryQueue(std::string()).reachable;
        return missing;
    }
    return queryQueue(m_name.toStdString());
}

JobStatus SpoolerQueue::job(int id) {
    return queryJob(m_name.toStdString(), id);
}

} // namespace kb
