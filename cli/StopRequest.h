// Ctrl-C, a kill and a closed terminal ask the command to stop: it finishes the sheet in progress,
// stores where the sheet now stands, says what was printed, and ends with 128 + the signal's number.
#pragma once

namespace kb::cli {

// From now on the three requests are noted instead of ending the process.
void watchStopRequests();
// 0 while no request came; otherwise the number of the signal that asked (SIGINT 2, SIGHUP 1,
// SIGTERM 15; on Windows Ctrl-C and Ctrl-Break count as 2, a closed console as 1).
int stopRequest();

} // namespace kb::cli
