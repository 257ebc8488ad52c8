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

namespace {

// ASCII stands for itself in windows-31j (backslash and tilde included): most label text needs no
// converter at all.
bool isAscii(QStringView text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool isAscii(const std::string& bytes) {
    for (unsigned char b : bytes)
        if (b >= 0x80)
            return false;
    return true;
}

} // namespace

std::optional<std::string> toSjis(const QString& text) {
    if (isAscii(text)) {
        const QByteArray bytes = text.toLatin1();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString fromSjis(const std::string& bytes) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool sjisCanEncode(const QString& text) {
    return toSjis(text).has_value();
}

} // namespace kb
