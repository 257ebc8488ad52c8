// Entry screen handlers of the main window (placeholder bodies until the entry screen lands).
#include "app/Tfrmmain.h"

namespace kb {

void Tfrmmain::Memo1Change() {}
void Tfrmmain::Memo1KeyUp(int) {}
void Tfrmmain::CheckBox1Click() {}
void Tfrmmain::Edit2Change() {}
void Tfrmmain::CheckBox3Click() {}
void Tfrmmain::ListBox1Click() {}
void Tfrmmain::ListBox4Click() {}
void Tfrmmain::connectEntryHandlers() {}
void Tfrmmain::showEntryModel() {}

} // namespace kb
