#pragma once
// Ending the program from outside (SIGTERM from a session's log-out, systemd or `timeout`;
// SIGHUP from a closed terminal; Ctrl+C in the terminal that started it) stops a run the way
// Cancel does before the process ends, so that no half-written or temporary file stays behind.

// Installs the handlers; the request is acted on in the user-interface thread's event loop
// (any modal one included). Needs the application object.
void WatchExitSignals();
