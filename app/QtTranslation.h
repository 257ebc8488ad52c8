// Qt's own texts (the print dialog, the colour dialog, the buttons of message boxes) in Japanese, like
// the window around them.
#pragma once

namespace kb {

// Installs Qt's Japanese translation (qtbase_ja.qm) from the "translations" folder beside the
// executable, where the portable folder and the zip carry it, or else from Qt's own translations
// folder. False when neither holds it: Qt's texts then stay in English.
bool installQtTranslation();

} // namespace kb
