// Lines for the user on Linux: standard error, which a terminal or the session's log keeps.
#include "os/trouble_line.hpp"

#include <cstdio>

namespace brix {

void tellTroubleLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace brix
