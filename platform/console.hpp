// Lines for the person who started the program: its usage, its version and its problems.
#pragma once

#include <string_view>

enum class ConsoleLine { Information, Problem };

// Information goes to standard output, a problem to standard error. A Windows program has no
// console of its own: there the line goes to the console it was started from, or into a
// message box when nobody could read it otherwise (or on standard error when
// HALVENT_NO_DIALOGS is set, for unattended runs). `text` is UTF-8 and may hold several
// lines; a line end is added when it has none.
void tellUser(ConsoleLine kind, std::string_view text);
