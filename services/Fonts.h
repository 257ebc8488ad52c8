// The faces the windows ask for, with the metric-compatible IPA faces named after them: fontconfig
// does not alias the MS names, and without the list Japanese would fall back glyph by glyph.
#pragma once
#include <QFont>

namespace kb {

enum class Face { PGothic, Gothic, Mincho };

// A font of the given face with its character height in pixels.
QFont uiFont(Face face, int pixelHeight, bool bold = false, bool italic = false);

} // namespace kb
