// Where the Win32 sound backend sends its work: the multimedia system, or a stand-in for tests.
#pragma once

#include <cstdint>
#include <string>

namespace win32 {

class MciOutput {
public:
    virtual ~MciOutput() = default;
    // Number of wave output devices; 0 means the program runs silently.
    virtual unsigned deviceCount() = 0;
    // One MCI command string, like mciSendString; 0 on success, `reply` holds the answer.
    virtual unsigned send(const std::string& command, std::string& reply) = 0;
    // The wave mapper's level, left channel in the low word and right in the high word.
    virtual bool setVolume(std::uint32_t bothChannels) = 0;
};

// Replaces the output (nullptr: the system's again). Takes effect at the next openAudio.
void setMciOutput(MciOutput* output);

} // namespace win32
