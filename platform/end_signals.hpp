// Requests from outside to end: logout, Ctrl+C, a closed terminal, a service manager.
#pragma once

// From now on SIGTERM, SIGINT and SIGHUP only mark an end request; the event queue turns it
// into a close, and an open message box closes, so the program ends in order and saves its
// settings in every state. Main thread, before the window is created.
void catchEndSignals();

// True once an end was requested. Any thread.
bool endRequested();
