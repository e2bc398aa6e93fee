// Ctrl+C for a program that runs until the operator stops it: natively
// SIGINT and SIGTERM (stop_signal.cpp), on Windows the console's Ctrl+C,
// Ctrl+Break and close (stop_signal_win.cpp). The wait between two rounds
// ends at once when the stop comes.
#pragma once

namespace morvel {

// Takes the stop signals from now on; once.
void InstallStopHandler();

// Whether a stop has come.
bool StopRequested();

// Waits the seconds, or less when a stop comes; true when stopped.
bool WaitForStop(int seconds);

} // namespace morvel
