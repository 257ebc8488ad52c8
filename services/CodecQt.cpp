// Code page 932 through Qt's windows-31j codec, which ICU provides.
#include "services/SjisConverter.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kb::sjis {

namespace {
// windows-31j is the code page 932 flavour of Shift-JIS (backslash and tilde stay ASCII).
constexpr const char* CodecName = "windows-31j";
} // namespace

bool available() {
    return QStringEncoder(CodecName).isValid();
}

std::optional<std::string> encode(QStringView text) {
    QStringEncoder encoder(CodecName, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    // ICU's table also maps a character or two one way only (U+F86F to the bytes of U+2116), which
    // the code page itself does not: what does not read back as the same text has no form.
    QStringDecoder decoder(CodecName, QStringConverter::Flag::Stateless);
    if (QString(decoder.decode(bytes)) != text)
        return std::nullopt;
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<QString> decode(std::string_view bytes) {
    QStringDecoder decoder(CodecName, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace kb::sjis
