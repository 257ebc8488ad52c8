#include "services/Fonts.h"

#include <QStringList>

namespace kb {

QFont uiFont(Face face, int pixelHeight, bool bold, bool italic) {
    QFont font;
    switch (face) {
    case Face::PGothic:
        font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
        break;
    case Face::Gothic:
        // "@ＭＳ ゴシック" is the vertical-writing variant of the fixed-pitch Gothic.
        font.setFamilies({QStringLiteral("@ＭＳ ゴシック"), QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                          QStringLiteral("IPAGothic")});
        break;
    case Face::Mincho:
        font.setFamilies({QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"), QStringLiteral("IPAMincho")});
        break;
    }
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace kb
