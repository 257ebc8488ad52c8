#include "services/PrinterCheck.h"

#include <QPrinter>

namespace kb {

QString queueProblem(const QString& printerName, const QueueState& state) {
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

} // namespace kb
