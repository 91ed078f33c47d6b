// Fuzzes the session-record reader of halvent-report: any bytes, never a crash, and what it
// accepts is sound.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "record/record_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Half the inputs get the program's own header, so the rows are explored too and not only
    // the search for a header.
    std::string text;
    if (size > 0 && (data[0] & 1))
        text = "beat,ms,interval_ms,hr_bpm,phase,beat_in_phase,cycle,cue,breath\n";
    text.append(reinterpret_cast<const char*>(data), size);
    const RecordReadResult result = parseSessionRecord(text);
    if (result.record.has_value() == !result.error.empty()) std::abort();
    if (result.record) {
        if (result.record->beats.empty()) std::abort();
        for (const RecordedBeat& beat : result.record->beats)
            if (beat.phase < 0 || beat.phase > 3 || beat.cycle < 1) std::abort();
    }
    return 0;
}
