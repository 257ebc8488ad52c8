// Print handlers of the main window (placeholder bodies until printing lands).
#include "app/Tfrmmain.h"

namespace kb {

void Tfrmmain::cmdPrint2Click() {}
bool Tfrmmain::PrintRun() {
    return false;
}
void Tfrmmain::connectPrintHandlers() {}

} // namespace kb
