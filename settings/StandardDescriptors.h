// Standard input, output and error made safe before anything is opened. A program started with one
// of them closed (by some service managers and schedulers) would otherwise hand that number to the
// next file it opens, and whatever it then writes to standard output or error would land in that file:
// the start file among them.
#pragma once

namespace kb {

// Opens the null device on each closed standard descriptor (on Windows: each missing standard
// handle). Call it first thing in main.
void keepStandardDescriptors();

} // namespace kb
