// A line for the user about the sensor ("halvent: Bluetooth: ..."), told where someone reads
// it: standard error, or on Windows, when the program was started without any stream (from
// Explorer or a shortcut), a message box. The caller never waits for the user.
#pragma once

#include <string>

namespace brix {

void tellTroubleLine(const std::string& line);

} // namespace brix
