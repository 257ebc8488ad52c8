#include "app/PrinterCheck.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <cups/cups.h>

namespace kb {

namespace {

constexpr int CupsPrinterStopped = 5; // IPP printer-state "stopped"

} // namespace

QueueState queueState(const QString& printerName) {
    QueueState state;
    if (printerName.isEmpty() || QPrinterInfo::printerInfo(printerName).isNull())
        return state;
    // A queue name may carry an instance after a slash ("queue/instance").
    const QString queue = printerName.section(QLatin1Char('/'), 0, 0);
    const QString instance = printerName.section(QLatin1Char('/'), 1);
    const QByteArray queueBytes = queue.toUtf8();
    const QByteArray instanceBytes = instance.toUtf8();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queueBytes.constData(),
                                         instance.isEmpty() ? nullptr : instanceBytes.constData());
    if (!dest)
        return state;
    state.exists = true;
    if (const char* value = cupsGetOption("printer-state", dest->num_options, dest->options))
        state.stopped = QByteArray(value).toInt() == CupsPrinterStopped;
    if (const char* value = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options))
        state.acceptingJobs = QByteArray(value) != "false" && QByteArray(value) != "0";
    cupsFreeDests(1, dest);
    return state;
}

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
    return queueProblem(name, queueState(name));
}

} // namespace kb
