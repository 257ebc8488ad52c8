#include "services/Codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kb {

namespace {
// windows-31j is the code page 932 flavour of Shift-JIS (backslash and tilde stay ASCII).
constexpr const char* kCodecName = "windows-31j";
} // namespace

bool sjisAvailable() {
    QStringEncoder encoder(kCodecName);
    return encoder.isValid();
}

std::optional<std::string> toSjis(const QString& text) {
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString fromSjis(const std::string& bytes) {
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool sjisCanEncode(const QString& text) { return toSjis(text).has_value(); }

} // namespace kb
