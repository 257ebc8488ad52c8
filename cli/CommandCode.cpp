#include "cli/CommandCode.h"

#include "services/CodeCheck.h"
#include "services/Codec.h"

namespace kb::cli {

QString CommandCode::refusal(CodeKind code, const LabelCodeRefusal& found, std::int32_t dpiX) {
    const CodeRefusal& r = found.refusal;
    const QString kind = code == CodeKind::Qr ? QStringLiteral("QR code") : QStringLiteral("Data Matrix");
    QString label =
        QStringLiteral("the label at position %1 of sheet %2").arg(found.at.first).arg(found.at.sheet);
    if (found.serial)
        label += QStringLiteral(" (serial %1)").arg(*found.serial);
    if (r.why == CodeRefusal::Why::TooLong)
        return QStringLiteral("--code: %1: \"%2\" is %3 bytes in Shift-JIS; a %4 that fits the label holds "
                              "%5 of them (at %6 dpi); nothing printed")
            .arg(label, fromSjis(r.text).replace(QLatin1Char('\n'), QLatin1Char('|')))
            .arg(r.text.size())
            .arg(kind)
            .arg(r.bytesFit)
            .arg(dpiX);
    const std::string& line = r.line == 1 ? found.lines.line1 : found.lines.line2;
    return QStringLiteral("--code: %1: line %2 \"%3\" would run into the %4 at the label's right end; "
                          "shorten the line or choose --code-text; nothing printed")
        .arg(label)
        .arg(r.line)
        .arg(fromSjis(line).trimmed(), kind);
}

} // namespace kb::cli
