#include "services/ListFile.h"

#include <QDir>
#include <QFile>

#include "services/Codec.h"

namespace kb {

std::string SjisListCodec::decodeCp932(std::string_view bytes) const {
    return fromSjis(std::string(bytes)).toStdString();
}

std::optional<std::string> SjisListCodec::encodeCp932(std::string_view utf8) const {
    return toSjis(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

ListReading readListFile(const QString& path, ListEncoding encoding) {
    const std::string shown = QDir::toNativeSeparators(path).toStdString();
    const auto refused = [&](ListProblem problem, const QString& detail) {
        ListReading reading;
        reading.file = shown;
        ListRefusal r;
        r.problem = problem;
        r.file = shown;
        r.detail = detail.toStdString();
        reading.refusals.push_back(std::move(r));
        return reading;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(ListProblem::Unreadable, file.errorString());
    // Read to at most one byte past the limit, so that a file growing meanwhile (or a device that
    // reports no size) cannot make the read unbounded.
    const QByteArray bytes = file.read(kMaxListFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refused(ListProblem::Unreadable, file.errorString());
    if (bytes.size() > kMaxListFileBytes)
        return refused(ListProblem::TooLarge, QString());
    static const SjisListCodec codec;
    return readList(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), encoding,
                    codec, shown);
}

std::optional<ListEncoding> listEncodingNamed(const QString& name) {
    const QString n = name.toLower();
    if (n == QLatin1String("auto"))
        return ListEncoding::Detect;
    if (n == QLatin1String("utf-8") || n == QLatin1String("utf8"))
        return ListEncoding::Utf8;
    if (n == QLatin1String("utf-16") || n == QLatin1String("utf-16le"))
        return ListEncoding::Utf16Le;
    if (n == QLatin1String("utf-16be"))
        return ListEncoding::Utf16Be;
    if (n == QLatin1String("cp932") || n == QLatin1String("shift_jis") || n == QLatin1String("sjis") ||
        n == QLatin1String("windows-31j"))
        return ListEncoding::Cp932;
    return std::nullopt;
}

} // namespace kb
