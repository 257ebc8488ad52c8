// Sheet screen handlers of the main window (placeholder bodies until the sheet screen lands).
#include "app/Tfrmmain.h"

namespace kb {

void Tfrmmain::cmdPrintSetClick() {}
void Tfrmmain::Image2MouseMove(int, int) {}
void Tfrmmain::FormMouseMove(int, int) {}
void Tfrmmain::Image2Click(int, int) {}
void Tfrmmain::UpdateSheetCount() {}
void Tfrmmain::PaintSheetMap(std::int32_t) {}
void Tfrmmain::ClearSheetMap() {}
void Tfrmmain::ListBox3Click() {}
void Tfrmmain::ListBox7Click() {}
void Tfrmmain::ListBox6Click() {}
void Tfrmmain::ListBox10Click() {}
void Tfrmmain::ListBox11Click() {}
void Tfrmmain::chooseColour(QListWidget*, bool) {}
void Tfrmmain::showPreviewModel() {}
std::uint32_t Tfrmmain::previewBackColour() const {
    return 0x00FFFFFF;
}
std::uint32_t Tfrmmain::previewFontColour() const {
    return 0x00000000;
}
void Tfrmmain::connectSheetHandlers() {}
void Tfrmmain::startupOffsets() {}
void Tfrmmain::fillColourLists() {}

} // namespace kb
