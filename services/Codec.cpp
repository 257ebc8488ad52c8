#include "services/Codec.h"

#include "content/Sjis.h"
#include "services/SjisConverter.h"

namespace kb {

namespace {

// ASCII stands for itself, also the control characters, which Qt's windows-31j would swap (0x1A and
// 0x7F) inside Japanese text but not in plain ASCII: only the rest goes through the converter, so that
// every platform gives the same bytes.
bool isAscii(QChar c) {
    return c.unicode() < 0x80;
}

// The characters from position i on that are neither ASCII nor broken (a lone lead byte, a lead
// byte without its trail byte, or a byte that begins no character): their length in bytes.
std::size_t wholeCharacters(std::string_view bytes, std::size_t i) {
    const std::size_t from = i;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (isHalfWidthKana(c))
            i += 1;
        else if (isLeadByte(c) && i + 1 < bytes.size() &&
                 isTrailByte(static_cast<unsigned char>(bytes[i + 1])))
            i += 2;
        else
            break;
    }
    return i - from;
}

const QChar Replacement(QChar::ReplacementCharacter);

} // namespace

bool sjisAvailable() {
    return sjis::available();
}

std::optional<std::string> toSjis(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    qsizetype i = 0;
    while (i < text.size()) {
        if (isAscii(text[i])) {
            bytes.push_back(static_cast<char>(text[i].unicode()));
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !isAscii(text[end]))
            ++end;
        const std::optional<std::string> part = sjis::encode(QStringView(text).mid(i, end - i));
        if (!part)
            return std::nullopt;
        bytes += *part;
        i = end;
    }
    return bytes;
}

QString fromSjis(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            text += QChar(c);
            ++i;
            continue;
        }
        const std::size_t length = wholeCharacters(bytes, i);
        if (length == 0) {
            // A byte that begins no character, or a lead byte cut from its trail byte.
            text += Replacement;
            ++i;
            continue;
        }
        const std::string_view run = std::string_view(bytes).substr(i, length);
        if (const std::optional<QString> part = sjis::decode(run)) {
            text += *part;
        } else {
            // Some character of the run is not in the code page: each on its own, the missing ones
            // replaced.
            for (std::size_t k = 0; k < run.size();) {
                const std::size_t size = isHalfWidthKana(static_cast<unsigned char>(run[k])) ? 1 : 2;
                const std::optional<QString> one = sjis::decode(run.substr(k, size));
                text += one ? *one : QString(Replacement);
                k += size;
            }
        }
        i += length;
    }
    return text;
}

bool sjisCanEncode(const QString& text) {
    return toSjis(text).has_value();
}

} // namespace kb
