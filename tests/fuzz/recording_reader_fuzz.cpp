// Fuzzes the recording reader with arbitrary file contents: intervals or one error, never both.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sources/recording_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const brix::Recording read =
        brix::readRecording(std::string_view(reinterpret_cast<const char*>(data), size));
    if (read.error.empty() == read.intervalsMs.empty()) std::abort();
    if (read.error.find('\n') != std::string::npos) std::abort(); // one line
    for (double ms : read.intervalsMs)
        if (!(ms >= brix::kShortestIntervalMs && ms <= brix::kLongestIntervalMs)) std::abort();
    return 0;
}
