#include "services/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace kb {

namespace {

// The names asked for, in order of preference.
QStringList wanted(Face face) {
    switch (face) {
    case Face::PGothic:
        return {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                QStringLiteral("IPAPGothic")};
    case Face::Gothic:
        // "@ＭＳ ゴシック" is the vertical-writing variant of the fixed-pitch Gothic.
        return {QStringLiteral("@ＭＳ ゴシック"), QStringLiteral("ＭＳ ゴシック"),
                QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")};
    case Face::Mincho:
        return {QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"), QStringLiteral("IPAMincho")};
    }
    return {};
}

// The first name the system has, alone: every name it lacks would cost a search for a substitute
// (fontconfig's fallback sort) for each font made, which is most of the window's start-up time spent
// on faces. Without any of them the whole list is kept and the system picks.
QStringList resolved(Face face) {
    static const QStringList installed = QFontDatabase::families();
    const QStringList names = wanted(face);
    for (const QString& name : names)
        if (installed.contains(name, Qt::CaseInsensitive))
            return {name};
    return names;
}

} // namespace

QFont uiFont(Face face, int pixelHeight, bool bold, bool italic) {
    static const QStringList pGothic = resolved(Face::PGothic);
    static const QStringList gothic = resolved(Face::Gothic);
    static const QStringList mincho = resolved(Face::Mincho);
    QFont font;
    font.setFamilies(face == Face::PGothic ? pGothic : face == Face::Gothic ? gothic : mincho);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace kb
