// The program's command line as UTF-8 strings, whatever the system's own code page.
#pragma once

#include <string>
#include <vector>

// The arguments after the program's name. On Windows they are read again as UTF-16 from the
// system, since main's narrow argv has already lost every character outside the ANSI code
// page; paths taken from them are opened with wide names by the Windows backend.
std::vector<std::string> commandLineArguments(int argc, char** argv);
