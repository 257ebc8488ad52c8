// The command's arguments as they were typed, taken before Qt sees them: Qt's application object
// takes its own options (-reverse, -platform ...) out of the arguments, even after "--", and Qt's
// conversion drops a byte-order mark at an argument's start, which elsewhere in an argument is refused.
#pragma once
#include <QStringList>

namespace kb::cli {

// The arguments without the program's name. On Windows argc and argv are not used: the command line
// is read in UTF-16 as the system keeps it. `undecodable`, when given, receives the arguments whose
// bytes are not valid in the system's encoding (UTF-8), as decoded with U+FFFD in their place.
QStringList commandArguments(int argc, char** argv, QStringList* undecodable = nullptr);

} // namespace kb::cli
