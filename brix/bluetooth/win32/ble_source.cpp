// The Bluetooth strap source on Windows: not in this build (straps are reached through BlueZ on
// Linux), so choosing it starts nothing and says why in one line, as the strap source tells
// its troubles; the program runs on without pulse messages.
#include "bluetooth/ble_source.hpp"

#include <cstdio>

namespace brix {
namespace {

class UnavailableBleSource final : public SensorSource {
public:
    bool start(SourceSink& /*sink*/, std::string& error) override {
        error = "heart-rate straps are not supported by the Windows build (choose simulated or "
                "replay:FILE)";
        std::fprintf(stderr, "halvent: Bluetooth: %s; the pulse stays not ready.\n", error.c_str());
        return false;
    }
    void stop() override {}
};

} // namespace

std::unique_ptr<SensorSource> makeBleSource(const std::string& /*address*/) {
    return std::make_unique<UnavailableBleSource>();
}

} // namespace brix
