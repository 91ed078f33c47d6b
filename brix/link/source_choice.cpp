// The source names, and reading a recording's file when it is chosen.
#include "link/source_choice.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "bluetooth/ble_source.hpp"
#include "sources/recording_reader.hpp"
#include "sources/replay_source.hpp"
#include "sources/simulated_source.hpp"

namespace brix {
namespace {

constexpr std::string_view kReplay = "replay:";
constexpr std::string_view kLoop = ":loop";
constexpr std::string_view kBle = "ble";
constexpr std::string_view kBleAddress = "ble:";
constexpr std::streamsize kLargestRecording = 64 << 20; // days of beats; more is no recording

bool readWholeFile(const std::string& path, std::string& text, std::string& error) {
    // The name is UTF-8; as a char8_t path it reaches Windows as UTF-16, so any name opens.
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        error = "cannot read the recording '" + path + "': it is a folder";
        return false;
    }
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read the recording '" + path +
                "': " + (errno != 0 ? std::strerror(errno) : "cannot open it");
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = "cannot read the recording '" + path + "': " + std::strerror(errno ? errno : EIO);
        return false;
    }
    text = content.str();
    if (static_cast<std::streamsize>(text.size()) > kLargestRecording) {
        error = "the recording '" + path + "' is too large to be a recording of heartbeats";
        return false;
    }
    return true;
}

SourceChoice chooseReplay(std::string path) {
    bool loop = false;
    if (path.size() > kLoop.size() &&
        path.compare(path.size() - kLoop.size(), kLoop.size(), kLoop) == 0) {
        path.resize(path.size() - kLoop.size());
        loop = true;
    }
    if (path.empty()) return {{}, "replay needs a file: replay:FILE or replay:FILE:loop"};
    std::string text, error;
    if (!readWholeFile(path, text, error)) return {{}, error};
    Recording recording = readRecording(text);
    if (!recording.error.empty()) return {{}, path + ": " + recording.error};
    auto intervals = std::make_shared<const std::vector<double>>(std::move(recording.intervalsMs));
    auto breath = std::make_shared<const std::vector<signed char>>(std::move(recording.breath));
    return {[intervals, loop, breath] {
                return std::make_unique<ReplaySource>(intervals, loop, breath);
            },
            {}};
}

// A Bluetooth LE heart-rate strap: the first one found, or the one at an address.
SourceChoice chooseBle(const std::string& named) {
    const std::string address = named == kBle ? std::string() : named.substr(kBleAddress.size());
    if (named != kBle && !isBluetoothAddress(address))
        return {{}, "'" + address + "' is not a Bluetooth address (ble:AA:BB:CC:DD:EE:FF)"};
    return {[address] { return makeBleSource(address); }, {}};
}

} // namespace

SourceChoice chooseSource(const std::string& named) {
    if (named == "simulated") return {[] { return std::make_unique<SimulatedSource>(); }, {}};
    if (named.compare(0, kReplay.size(), kReplay) == 0)
        return chooseReplay(named.substr(kReplay.size()));
    if (named == kBle || named.compare(0, kBleAddress.size(), kBleAddress) == 0)
        return chooseBle(named);
    return {{},
            "unknown sensor '" + named +
                "' (choose simulated, replay:FILE, replay:FILE:loop, ble or ble:ADDRESS)"};
}

} // namespace brix
