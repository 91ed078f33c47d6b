// Watching the X display under SDL: a lost connection or a window destroyed by someone else.
#pragma once

struct SDL_Window;

// Takes over X's error handlers when SDL drives an X display (nothing otherwise): errors on
// the program's window mean it is gone; a lost connection runs the display-lost handler and
// ends the process. Main thread, once the window exists and again once it is shown.
void watchDisplay(SDL_Window* window);

// True once the window was destroyed under the program by someone else; the event queue then
// reports a close, so the program ends in order. Main thread.
bool windowLost();

// In a child process that shows a dialog: lets go of the parent's display connection (a
// request sent on it would confuse the parent's). A request on it later, or a lost display,
// calls `lastWords` and ends the child quietly.
void detachFromDisplayInChild(void (*lastWords)());

// Lets the server answer what was sent so far while our handlers still catch its errors;
// SDL puts back the earlier handlers when it quits. Main thread, before SDL_Quit.
void settleDisplayErrors();
