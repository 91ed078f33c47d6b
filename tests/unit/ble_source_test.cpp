// The Bluetooth strap source against a fake BlueZ on a private bus, delivering to a recording sink.
#include <gtest/gtest.h>

#include "bluetooth/ble_source.hpp"
#include "support/fake_bluez.hpp"

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kRecording = HALVENT_TESTDATA_DIR "/rr/real_rri.txt";

std::vector<double> readRecording() {
    std::ifstream in(kRecording);
    std::vector<double> intervals;
    for (double ms = 0; in >> ms;)
        intervals.push_back(ms);
    return intervals;
}

class RecordingSink : public brix::SourceSink {
  public:
    void batch(const std::vector<double>& rrMs, std::uint32_t) override {
        std::lock_guard lock(mutex_);
        countLate();
        beats.insert(beats.end(), rrMs.begin(), rrMs.end());
        changed_.notify_all();
    }
    void timedBeat(double, std::uint32_t) override { ADD_FAILURE() << "a strap times no beat"; }
    void status(int pulse, int breath) override {
        std::lock_guard lock(mutex_);
        countLate();
        pulses.push_back(pulse);
        breaths.push_back(breath);
        changed_.notify_all();
    }
    void deviceLost() override {
        std::lock_guard lock(mutex_);
        countLate();
        lost = true;
        changed_.notify_all();
    }
    template <typename Test> bool waitUntil(Test test, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return test(*this); });
    }
    std::size_t beatCount() {
        std::lock_guard lock(mutex_);
        return beats.size();
    }

    std::vector<double> beats;
    std::vector<int> pulses, breaths;
    bool lost = false;
    std::atomic<bool> stopped{false};
    std::atomic<int> callsAfterStop{0};

  private:
    void countLate() {
        if (stopped.load()) ++callsAfterStop;
    }
    std::mutex mutex_;
    std::condition_variable changed_;
};

// Stops the source and says how long that took.
std::chrono::milliseconds timedStop(brix::SensorSource& source, RecordingSink& sink) {
    const auto start = Clock::now();
    source.stop();
    sink.stopped.store(true);
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

} // namespace

// One strap's whole story: discovery, beats in batches of 0 to 3 with 8- and 16-bit rates
// (notifications without intervals between them), skin contact lost and regained, a silent
// spell, a link drop with reconnection, and at last the adapter going away.
TEST(BleSource, FollowsTheStrapFromDiscoveryToTheAdapterGoingAway) {
    FakeBluez bluez("story", kRecording);
    ASSERT_TRUE(bluez.ok());
    RecordingSink sink;
    auto source = brix::makeBleSource("");
    std::string error;
    ASSERT_TRUE(source->start(sink, error)) << error;
    EXPECT_TRUE(sink.waitUntil([](RecordingSink& s) { return s.lost; }, 60s)) << bluez.events();

    // Every interval of the recording that the strap sent, in order, to 1/1024 s.
    const std::vector<double> recording = readRecording();
    ASSERT_EQ(sink.beats.size(), 11u) << bluez.events();
    for (std::size_t i = 0; i < sink.beats.size(); ++i)
        EXPECT_NEAR(sink.beats[i], recording[i], 0.5) << "beat " << i;
    // Switching on; connected; beats; 3.4 s of notifications without an interval; beats;
    // contact lost; beats; silence; beats; drop; beats.
    EXPECT_EQ(sink.pulses, (std::vector<int>{0, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2}));
    for (const int breath : sink.breaths)
        EXPECT_EQ(breath, 3) << "a strap has no breath sensor";
    EXPECT_NE(bluez.events().find("dropped"), std::string::npos);
    EXPECT_LT(timedStop(*source, sink), 100ms);
}

// A close returns within 100 ms whatever the source is waiting for, says its last words to
// BlueZ when it was streaming, and never calls the sink afterwards.
TEST(BleSource, ClosesPromptlyInEveryState) {
    struct Case {
        const char* scenario;
        const char* reached;
    };
    for (const Case& c : {Case{"never-found", "discovering"}, Case{"connect-hangs", "connecting"},
                          Case{"play", "notifying"}}) {
        SCOPED_TRACE(c.scenario);
        FakeBluez bluez(c.scenario, kRecording);
        ASSERT_TRUE(bluez.ok());
        RecordingSink sink;
        auto source = brix::makeBleSource("c0:ff:ee:00:12:37");
        std::string error;
        ASSERT_TRUE(source->start(sink, error)) << error;
        ASSERT_TRUE(bluez.waitFor(c.reached, 10s)) << bluez.events();
        const bool streaming = std::string(c.reached) == "notifying";
        if (streaming)
            ASSERT_TRUE(sink.waitUntil([](RecordingSink& s) { return !s.beats.empty(); }, 5s));
        std::this_thread::sleep_for(100ms);
        EXPECT_LT(timedStop(*source, sink), 100ms);
        if (streaming) EXPECT_TRUE(bluez.waitFor("stop-notify", 2s)) << bluez.events();
        // A link the source made, or was making, is let go: BlueZ would keep it.
        if (std::string(c.scenario) != "never-found")
            EXPECT_TRUE(bluez.waitFor("disconnected-by-client", 2s)) << bluez.events();
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(sink.callsAfterStop.load(), 0);
        EXPECT_FALSE(sink.lost);
    }
}

// Without a usable Bluetooth system the source says why in one line and keeps the pulse
// "switching on", never claiming a lost device.
TEST(BleSource, SaysInOneLineWhyBluetoothIsUnavailable) {
    struct Case {
        const char* what;
        const char* scenario; // empty: nothing owns org.bluez
        bool refuse;
        const char* told;
    };
    for (const Case& c : {Case{"no BlueZ", "", false, "BlueZ is not running"},
                          Case{"no adapter", "no-adapter", false, "no Bluetooth adapter"},
                          Case{"refused", "story", true, "access to BlueZ was refused"},
                          Case{"no bus", nullptr, false, "cannot reach the system bus"}}) {
        SCOPED_TRACE(c.what);
        FakeBluez bluez(c.scenario != nullptr ? c.scenario : "", kRecording, c.refuse);
        ASSERT_TRUE(bluez.ok());
        if (c.scenario == nullptr)
            setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
        RecordingSink sink;
        auto source = brix::makeBleSource("");
        std::string error;
        testing::internal::CaptureStderr();
        ASSERT_TRUE(source->start(sink, error)) << error;
        std::this_thread::sleep_for(700ms);
        EXPECT_LT(timedStop(*source, sink), 100ms);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_NE(told.find(c.told), std::string::npos) << told;
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
        EXPECT_EQ(sink.pulses, std::vector<int>{0});
        EXPECT_FALSE(sink.lost);
    }
}

// BlueZ going away while a strap streams is a drop-out with a reason, not a lost device;
// the silence before the source notices costs no CPU.
TEST(BleSource, TreatsBluezGoingAwayAsADropOut) {
    FakeBluez bluez("play", kRecording);
    ASSERT_TRUE(bluez.ok());
    RecordingSink sink;
    auto source = brix::makeBleSource("");
    std::string error;
    ASSERT_TRUE(source->start(sink, error)) << error;
    // Ready: the beats came, and the status after them.
    ASSERT_TRUE(sink.waitUntil(
        [](RecordingSink& s) { return !s.beats.empty() && s.pulses.back() == 2; }, 10s));
    testing::internal::CaptureStderr();
    bluez.endFake();
    const bool searching =
        sink.waitUntil([](RecordingSink& s) { return s.pulses.back() == 1; }, 5s);
    // The source checks on a strap silent for 5 s; waiting for that, it sleeps.
    const std::clock_t cpuBefore = std::clock();
    std::this_thread::sleep_for(6s);
    EXPECT_LT(double(std::clock() - cpuBefore) / CLOCKS_PER_SEC, 0.1) << "CPU seconds";
    EXPECT_LT(timedStop(*source, sink), 100ms);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(searching);
    EXPECT_NE(told.find("BlueZ is not running"), std::string::npos) << told;
    EXPECT_EQ(sink.pulses.back(), 1);
    EXPECT_FALSE(sink.lost);
}

// Troubles that last are told once, not at every try: an adapter switched off (tried every
// 5 s), and a strap not found after 15 s, with its address and how to find one.
TEST(BleSource, TellsEachLastingTroubleOnce) {
    testing::internal::CaptureStderr();
    FakeBluez notFound("never-found", kRecording);
    ASSERT_TRUE(notFound.ok());
    RecordingSink searching;
    auto named = brix::makeBleSource("c0:ff:ee:00:12:99");
    std::string error;
    ASSERT_TRUE(named->start(searching, error)) << error;
    ASSERT_TRUE(notFound.waitFor("discovering", 10s)) << notFound.events();
    FakeBluez off("powered-off", kRecording); // the next source's bus
    ASSERT_TRUE(off.ok());
    RecordingSink waiting;
    auto any = brix::makeBleSource("");
    ASSERT_TRUE(any->start(waiting, error)) << error;
    std::this_thread::sleep_for(16s);
    EXPECT_LT(timedStop(*named, searching), 100ms);
    EXPECT_LT(timedStop(*any, waiting), 100ms);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 2) << told;
    EXPECT_NE(told.find("no strap with the address C0:FF:EE:00:12:99 found in 15 s"),
              std::string::npos)
        << told;
    EXPECT_NE(told.find("bluetoothctl"), std::string::npos) << told;
    EXPECT_NE(told.find("adapter is switched off"), std::string::npos) << told;
    EXPECT_EQ(waiting.pulses, std::vector<int>{0});
}

// A system bus that comes up after the start is found when the source tries again.
TEST(BleSource, FindsASystemBusThatComesLater) {
    char folder[] = "/tmp/halvent-late-bus-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string socket = std::string(folder) + "/bus";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    RecordingSink sink;
    auto source = brix::makeBleSource("");
    std::string error;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(source->start(sink, error)) << error;
    std::this_thread::sleep_for(1s);
    {
        FakeBluez bluez("play", kRecording, false, socket);
        ASSERT_TRUE(bluez.ok());
        EXPECT_TRUE(sink.waitUntil([](RecordingSink& s) { return !s.beats.empty(); }, 15s))
            << bluez.events();
        EXPECT_LT(timedStop(*source, sink), 100ms);
    }
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("cannot reach the system bus"), std::string::npos) << told;
    rmdir(folder);
}

TEST(BleSource, RefusesAMalformedAddress) {
    RecordingSink sink;
    std::string error;
    EXPECT_FALSE(brix::makeBleSource("C0:FF:EE:00:12")->start(sink, error));
    EXPECT_NE(error.find("C0:FF:EE:00:12"), std::string::npos);
    EXPECT_TRUE(brix::isBluetoothAddress("c0:ff:ee:00:12:37"));
    EXPECT_FALSE(brix::isBluetoothAddress("C0-FF-EE-00-12-37"));
}
