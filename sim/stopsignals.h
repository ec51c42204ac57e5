#pragma once
// Ends a console program's event loop on Ctrl-C (SIGINT) or SIGTERM, so
// that it can close its pseudo-terminal and exit normally.

class QCoreApplication;

// The signal handler only writes a byte to a socket pair; the event loop
// sees it and calls quit(). Call once, after the application exists.
void quitOnStopSignals(QCoreApplication &app);
