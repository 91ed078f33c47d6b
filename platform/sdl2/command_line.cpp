// The command line on Linux: argv is already the user's bytes, UTF-8 in every usual locale.
#include "platform/command_line.hpp"

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}
