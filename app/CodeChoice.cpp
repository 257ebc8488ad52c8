#include "app/CodeChoice.h"

#include <iterator>

#include <QPainter>

#include "services/Codec.h"
#include "services/SystemPath.h"
#include "settings/Error.h"
#include "settings/StartFile.h"

namespace kb {

namespace {

constexpr const char* FileName = "CodeChoice.txt";

} // namespace

CodeKind codeKindAt(int row) {
    return row >= 0 && row < int(std::size(CodeKindNames)) ? CodeKindNames[row].kind : CodeKind::None;
}

int codeRowOf(CodeKind kind) {
    return static_cast<int>(kind);
}

CodeKind readCodeChoice(const QString& folder) {
    try {
        const std::string path = systemPath(folder + QLatin1String(FileName));
        if (!realFileOps().exists(path))
            return CodeKind::None;
        const QByteArray line =
            QByteArray::fromStdString(realFileOps().readStart(path)).split('\n')[0].trimmed();
        for (const CodeKindName& k : CodeKindNames)
            if (line == k.shown)
                return k.kind;
    } catch (const Error&) {
    }
    return CodeKind::None;
}

bool writeCodeChoice(const QString& folder, CodeKind kind) {
    // As the start file is written: whole, beside the old one, then in its place.
    try {
        realFileOps().replaceWhole(systemPath(folder + QLatin1String(FileName)),
                                   std::string(codeKindName(kind).shown) + "\r\n");
        return true;
    } catch (const Error&) {
        return false;
    }
}

void CodePicture::setSymbol(const ModuleMatrix& symbol, std::int32_t quiet) {
    m_symbol = symbol;
    m_quiet = quiet;
    setVisible(!symbol.empty());
    update();
}

void CodePicture::paintEvent(QPaintEvent*) {
    if (m_symbol.empty())
        return;
    const int modules = std::max(m_symbol.columns, m_symbol.rows) + 2 * m_quiet;
    const int scale = std::max(1, std::min(width(), height()) / modules);
    const int side = modules * scale;
    const int left = (width() - side) / 2;
    const int top = (height() - side) / 2;
    QPainter painter(this);
    painter.fillRect(left, top, side, side, Qt::white);
    for (int r = 0; r < m_symbol.rows; ++r)
        for (int c = 0; c < m_symbol.columns; ++c)
            if (m_symbol.at(r, c))
                painter.fillRect(left + (m_quiet + c) * scale, top + (m_quiet + r) * scale, scale, scale,
                                 Qt::black);
}

QString codeRefusalMessage(CodeKind kind, const LabelCodeRefusal& found) {
    const QString code = kind == CodeKind::Qr ? QStringLiteral("QRコード") : QStringLiteral("DataMatrix");
    const QString label = QStringLiteral("%1枚目の%2番のラベル").arg(found.at.sheet).arg(found.at.first);
    const CodeRefusal& r = found.refusal;
    if (r.why == CodeRefusal::Why::TooLong)
        return QStringLiteral("%1：「%2」は%3バイトです。ラベルに入る%4には%5バイトまでしか入りません。")
            .arg(label, fromSjis(r.text).replace(QLatin1Char('\n'), QLatin1Char(' ')))
            .arg(r.text.size())
            .arg(code)
            .arg(r.bytesFit);
    const std::string& line = r.line == 1 ? found.lines.line1 : found.lines.line2;
    return QStringLiteral("%1：%2行目「%3」が%4に重なります。行を短くしてください。")
        .arg(label)
        .arg(r.line)
        .arg(fromSjis(line).trimmed(), code);
}

} // namespace kb
