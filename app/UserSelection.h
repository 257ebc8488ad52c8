// Lists and buttons under the user's hands: a selection by mouse or keyboard reaches the window's click
// handlers alike, a list never loses its selection to the user, and Return presses a button.
#pragma once
#include <functional>

class QAbstractButton;
class QListWidget;

namespace kb {

// Runs handler once for every selection the user makes in list: a click on an item (also on the item
// already selected) or a move of the selection with the keyboard. A selection made from code with the
// list's signals blocked runs nothing. Once the list has a selected item, the user cannot take it
// away (Ctrl+click, Ctrl+Space, a click below the last item): there is always one item in force.
void onUserSelection(QListWidget* list, std::function<void()> handler);

// Return and Enter press the button while it has the focus, as Space does.
void pressOnReturn(QAbstractButton* button);

} // namespace kb
