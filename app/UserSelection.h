// List boxes: the user's selections, by mouse or keyboard, reach the window's click handlers alike.
#pragma once
#include <functional>

class QListWidget;

namespace kb {

// Runs handler once for every selection the user makes in list: a click on an item (also on the item
// already selected) or a move of the selection with the keyboard. A selection made from code with the
// list's signals blocked runs nothing.
void onUserSelection(QListWidget* list, std::function<void()> handler);

} // namespace kb
