// The strap source's thread: adapter, discovery, connection, notifications, drop-outs.
#include "bluetooth/ble_source.hpp"

#include "bluetooth/breath_stream.hpp"
#include "bluetooth/bluez/bus_connection.hpp"
#include "brix_message.hpp"
#include "bluetooth/hr_measurement.hpp"
#include "bluetooth/pmd_frame.hpp"
#include "os/post_message.hpp"
#include "bluetooth/strap_signal.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <optional>
#include <thread>

namespace brix {

namespace {

using namespace std::chrono_literals;

constexpr const char* kAdapter = "org.bluez.Adapter1";
constexpr const char* kDevice = "org.bluez.Device1";
constexpr const char* kCharacteristic = "org.bluez.GattCharacteristic1";
constexpr const char* kHeartRateService = "0000180d-0000-1000-8000-00805f9b34fb";
constexpr const char* kMeasurement = "00002a37-0000-1000-8000-00805f9b34fb";
// The measurement-data service's control point and data, through which a strap that has one
// streams its accelerometer: the breath sensor.
constexpr const char* kControlPoint = "fb005c81-02e7-f387-1cad-8acd2d8df0c8";
constexpr const char* kMeasurementData = "fb005c82-02e7-f387-1cad-8acd2d8df0c8";

// How long BlueZ may take; an LE connection to a strap at the edge of range is slow.
constexpr auto kShortCall = 5s;
constexpr auto kConnectCall = 30s;
constexpr auto kResolveWait = 20s;
// A cached strap that was not heard in this discovery is tried after this long.
constexpr auto kCachedAfter = 10s;
// Tries again after a failure: 1, 2, 4 ... 30 s; system problems every 5 s.
constexpr auto kFirstBackoff = 1s;
constexpr auto kLongestBackoff = 30s;
constexpr auto kSystemRetry = 5s;
// A strap silent this long is checked on: is it still connected, is BlueZ still there?
constexpr auto kQuietCheck = 5s;
// Searching this long without finding the strap, the user is told how to find it.
constexpr auto kNotFoundAfter = 15s;

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

template <typename T> const T* property(const BusProperties& properties, const char* name) {
    const auto found = properties.find(name);
    return found == properties.end() ? nullptr : std::get_if<T>(&found->second);
}

bool flag(const BusProperties& properties, const char* name) {
    const bool* value = property<bool>(properties, name);
    return value != nullptr && *value;
}

const BusProperties* interfaceOf(const BusObjects& objects, const std::string& path,
                                 const char* interface) {
    const auto object = objects.find(path);
    if (object == objects.end()) return nullptr;
    const auto found = object->second.find(interface);
    return found == object->second.end() ? nullptr : &found->second;
}

// Why the system cannot serve the strap at all; each is told once.
enum class Trouble {
    None,
    NoBus,
    NoBluez,
    Refused,
    NoAdapter,
    PoweredOff,
    NoMeasurement,
    BusGone,
    Unexpected
};

const char* advice(Trouble trouble) {
    switch (trouble) {
    case Trouble::NoBluez:
        return "BlueZ is not running (no org.bluez on the system bus); start it with "
               "'sudo systemctl start bluetooth'";
    case Trouble::Refused:
        return "access to BlueZ was refused; add your user to the 'bluetooth' group (or log in "
               "at the console) and log in again";
    case Trouble::NoAdapter:
        return "no Bluetooth adapter found; plug one in, or unblock it with 'rfkill unblock "
               "bluetooth'";
    case Trouble::PoweredOff:
        return "the Bluetooth adapter is switched off; switch it on with 'bluetoothctl power on'";
    case Trouble::BusGone:
        return "the system bus went away; halvent connects again once D-Bus is back";
    case Trouble::NoMeasurement:
        return "the strap offers no heart-rate measurement; is it a heart-rate strap?";
    default:
        return "";
    }
}

// WriteValue(ay value, a{sv} options) with no options: a write that BlueZ confirms.
BusConnection::Arguments writeValueArguments(std::vector<std::uint8_t> bytes) {
    return [bytes = std::move(bytes)](sd_bus_message* m) {
        int r = sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size());
        if (r >= 0) r = sd_bus_message_open_container(m, 'a', "{sv}");
        if (r >= 0) r = sd_bus_message_close_container(m);
        return r;
    };
}

Trouble troubleOf(const BusReply& reply) {
    const std::string& name = reply.errorName;
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == "org.freedesktop.DBus.Error.NameHasNoOwner")
        return Trouble::NoBluez;
    if (name == "org.freedesktop.DBus.Error.AccessDenied" ||
        name == "org.bluez.Error.NotAuthorized")
        return Trouble::Refused;
    if (name == "org.bluez.Error.NotReady") return Trouble::PoweredOff;
    if (name == "org.freedesktop.DBus.Error.Disconnected") return Trouble::BusGone;
    return Trouble::None;
}

class BleSource final : public SensorSource {
  public:
    explicit BleSource(std::string address) : address_(upper(std::move(address))) {}
    ~BleSource() override { stop(); }

    bool start(SourceSink& sink, std::string& error) override {
        if (thread_.joinable()) {
            error = "The Bluetooth source is already running.";
            return false;
        }
        if (!address_.empty() && !isBluetoothAddress(address_)) {
            error = "'" + address_ + "' is not a Bluetooth address like AA:BB:CC:DD:EE:FF.";
            return false;
        }
        wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd_ < 0) {
            error = "The Bluetooth source cannot make its wake-up event.";
            return false;
        }
        sink_ = &sink;
        stopping_.store(false);
        // Told before the first frame can be drawn, so the panels start the same on every run.
        report(StrapSignal::kSwitchingOn);
        try {
            thread_ = std::thread([this] { run(); });
        } catch (...) {
            ::close(wakeFd_);
            wakeFd_ = -1;
            error = "The Bluetooth source cannot start its thread.";
            return false;
        }
        return true;
    }

    void stop() override {
        if (!thread_.joinable()) return;
        stopping_.store(true);
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
        ::close(wakeFd_);
        wakeFd_ = -1;
    }

  private:
    // How one attempt at the strap ended.
    enum class Outcome { Ready, Stopped, AdapterGone, SystemTrouble, Failed, Dropped };

    void run();
    // Serves the strap over one bus connection; false when the bus broke and must be opened
    // again, true when stopping (or the adapter went away and the source idles).
    bool serve(BusConnection& bus);
    // Sleeps `pause` unless a stop comes first; false when stopping.
    bool pauseFor(std::chrono::milliseconds pause);
    Outcome attempt(BusConnection& bus);
    Outcome discover(BusConnection& bus, BusObjects& objects);
    Outcome connect(BusConnection& bus, BusObjects& objects);
    Outcome stream(BusConnection& bus);
    // Reads the queued signals into the flags below; measurements only while streaming.
    void handleSignals(BusConnection& bus);
    void onValue(const std::vector<std::uint8_t>& value);
    // The breath sensor: subscribes to the strap's accelerometer and starts it, when the strap
    // has one (found with the heart-rate measurement); false when stopping.
    bool startBreath(BusConnection& bus);
    bool follow(BusConnection& bus, const BreathStream::Step& step);
    void onBreathData(const std::vector<std::uint8_t>& value);
    void endBreath(); // the link is gone
    void tellBreath(const std::string& problem);
    std::string chooseDevice(const BusObjects& objects, bool acceptCached) const;
    void idleUntilStopped(BusConnection* bus);
    void report(int pulse);
    void reportBreath(int breath);
    void tell(Trouble trouble);
    void tellNotFound() const;

    const std::string address_; // upper case; empty for the first strap found
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int wakeFd_ = -1;
    SourceSink* sink_ = nullptr;

    // Owned by the thread.
    std::string adapter_, device_, characteristic_;
    bool adapterGone_ = false, linkLost_ = false, resolved_ = false, deviceAppeared_ = false;
    bool discovering_ = false, connectedByUs_ = false, notifying_ = false, streaming_ = false;
    bool connecting_ = false; // a Connect is on its way: a stop cancels it with Disconnect
    bool beatsFlowed_ = false;
    Clock::time_point lastValue_{}; // the last notification of the measurement
    int lastPulse_ = -1;
    Trouble told_ = Trouble::None;
    bool toldBadMeasurement_ = false;
    std::optional<Clock::time_point> searchingSince_; // the strap not yet found since then
    bool toldNotFound_ = false;
    StrapSignal signal_;
    std::string control_, data_; // the accelerometer's characteristics; empty without them
    bool breathNotifying_ = false;
    BreathStream breath_;
    int breathReport_ = kStatusNoSensor; // the breath code status() gives
    bool breathStreamed_ = false;        // this strap's breath sensor has streamed
    bool toldBreath_ = false;
};

void BleSource::report(int pulse) {
    if (pulse == lastPulse_) return;
    lastPulse_ = pulse;
    sink_->status(pulse, breathReport_);
}

void BleSource::reportBreath(int breath) {
    if (breath == breathReport_) return;
    breathReport_ = breath;
    if (lastPulse_ >= 0) sink_->status(lastPulse_, breathReport_);
}

void BleSource::tell(Trouble trouble) {
    if (trouble == told_) return;
    told_ = trouble;
    std::fprintf(stderr, "halvent: Bluetooth: %s; the pulse stays not ready.\n", advice(trouble));
}

void BleSource::tellNotFound() const {
    const std::string what = address_.empty() ? std::string("no heart-rate strap")
                                              : "no strap with the address " + address_;
    std::fprintf(stderr,
                 "halvent: Bluetooth: %s found in %lld s; is it on, worn and near? Find its "
                 "address with 'bluetoothctl', then 'scan le' (it shows as \"Device "
                 "AA:BB:CC:DD:EE:FF name\"), and give it as --sensor ble:AA:BB:CC:DD:EE:FF. "
                 "halvent goes on searching.\n",
                 what.c_str(), static_cast<long long>(kNotFoundAfter.count()));
}

// The system bus is opened again until it answers, and again whenever it goes away, as
// BlueZ itself waits for it.
void BleSource::run() {
    while (!stopping_.load()) {
        BusConnection bus(wakeFd_, stopping_);
        std::string error;
        if (bus.open(error)) {
            if (serve(bus)) return;
        } else if (told_ != Trouble::NoBus && told_ != Trouble::BusGone) {
            told_ = Trouble::NoBus;
            std::fprintf(stderr,
                         "halvent: Bluetooth: cannot reach the system bus (%s); is D-Bus running? "
                         "halvent tries again every few seconds; the pulse stays not ready.\n",
                         error.c_str());
        }
        if (!pauseFor(kSystemRetry)) return;
    }
}

bool BleSource::pauseFor(std::chrono::milliseconds pause) {
    pollfd fd{wakeFd_, POLLIN, 0};
    const auto until = Clock::now() + pause;
    while (!stopping_.load() && Clock::now() < until) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        poll(&fd, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    }
    return !stopping_.load();
}

bool BleSource::serve(BusConnection& bus) {
    std::chrono::milliseconds backoff = kFirstBackoff;
    bool busBroke = false;
    for (;;) {
        Outcome outcome = attempt(bus);
        if (outcome == Outcome::Stopped) break;
        if (outcome == Outcome::Dropped) {
            // BlueZ removes an adapter's devices before the adapter itself: a strap that
            // vanished may be the first sign of the adapter going.
            BusObjects objects;
            BusReply reply;
            if (!bus.managedObjects(objects, reply)) break;
            handleSignals(bus);
            if (adapterGone_ || (reply.ok && interfaceOf(objects, adapter_, kAdapter) == nullptr))
                outcome = Outcome::AdapterGone;
        }
        if (outcome == Outcome::AdapterGone) {
            sink_->deviceLost();
            idleUntilStopped(&bus);
            break;
        }
        if (outcome == Outcome::Dropped) {
            // The strap went out of reach: searching, never the disconnection bit.
            notifying_ = connectedByUs_ = false;
            endBreath();
            signal_.linkDown();
            report(signal_.pulseStatus(Clock::now()));
        } else if (connectedByUs_) {
            // Connected but not usable (no measurement, notifications refused): let go.
            bus.send(device_, kDevice, "Disconnect");
            notifying_ = connectedByUs_ = false;
            endBreath();
        }
        if (bus.broken()) {
            // The bus itself went away: a new connection, once it is back.
            endBreath();
            signal_.linkDown();
            report(signal_.pulseStatus(Clock::now()));
            notifying_ = connectedByUs_ = connecting_ = discovering_ = false;
            busBroke = true;
            break;
        }
        // A strap that could not be reached may have gone; any strap will do, so search
        // again. After a drop the same strap is tried again first.
        if (outcome == Outcome::Failed && address_.empty()) device_.clear();
        if (beatsFlowed_) backoff = kFirstBackoff;
        beatsFlowed_ = false;
        std::chrono::milliseconds pause = kSystemRetry;
        if (outcome != Outcome::SystemTrouble) {
            pause = backoff;
            backoff = std::min<std::chrono::milliseconds>(backoff * 2, kLongestBackoff);
        }
        // Sleep through the pause, still noticing the adapter go away.
        const auto until = Clock::now() + pause;
        while (!adapterGone_ && Clock::now() < until) {
            if (!bus.wait(until)) break;
            handleSignals(bus);
        }
        if (stopping_.load()) break;
        if (adapterGone_) {
            sink_->deviceLost();
            idleUntilStopped(&bus);
            break;
        }
    }
    // Last words to BlueZ, not waited for: the close must stay prompt. A strap this program
    // connected, or was connecting (Disconnect cancels a pending Connect), is let go: BlueZ
    // would keep the link after the program ends.
    if (breath_.started()) {
        bus.send(control_, kCharacteristic, "WriteValue",
                 writeValueArguments(pmd::stopCommand(pmd::kAccelerometer)));
    }
    if (breathNotifying_) {
        bus.send(data_, kCharacteristic, "StopNotify");
        bus.send(control_, kCharacteristic, "StopNotify");
    }
    if (notifying_) bus.send(characteristic_, kCharacteristic, "StopNotify");
    if (connectedByUs_ || connecting_) bus.send(device_, kDevice, "Disconnect");
    if (discovering_) bus.send(adapter_, kAdapter, "StopDiscovery");
    return !busBroke;
}

void BleSource::idleUntilStopped(BusConnection* bus) {
    if (bus != nullptr) {
        while (bus->wait(Clock::time_point::max()))
            bus->signals.clear();
        return;
    }
    pollfd fd{wakeFd_, POLLIN, 0};
    while (!stopping_.load())
        poll(&fd, 1, -1);
}

BleSource::Outcome BleSource::attempt(BusConnection& bus) {
    BusObjects objects;
    BusReply reply;
    if (!bus.managedObjects(objects, reply)) return Outcome::Stopped;
    if (reply.ok && (told_ == Trouble::NoBus || told_ == Trouble::NoBluez ||
                     told_ == Trouble::Refused || told_ == Trouble::BusGone ||
                     told_ == Trouble::Unexpected))
        told_ = Trouble::None; // BlueZ answers again: a later trouble is news
    if (!reply.ok) {
        const Trouble trouble = troubleOf(reply);
        if (trouble == Trouble::None && told_ != Trouble::Unexpected) {
            told_ = Trouble::Unexpected;
            std::fprintf(stderr,
                         "halvent: Bluetooth: BlueZ does not list its devices (%s: %s); the "
                         "pulse stays not ready.\n",
                         reply.errorName.c_str(), reply.errorMessage.c_str());
        }
        if (trouble != Trouble::None) tell(trouble);
        return Outcome::SystemTrouble;
    }
    // The first adapter (hci0 before hci1), or the one in use before a drop.
    if (adapter_.empty() || interfaceOf(objects, adapter_, kAdapter) == nullptr) {
        adapter_.clear();
        for (const auto& [path, interfaces] : objects) {
            if (interfaces.count(kAdapter) != 0) {
                adapter_ = path;
                break;
            }
        }
    }
    if (adapter_.empty()) {
        tell(Trouble::NoAdapter);
        return Outcome::SystemTrouble;
    }
    if (told_ == Trouble::NoAdapter) told_ = Trouble::None;
    const BusProperties* adapter = interfaceOf(objects, adapter_, kAdapter);
    const bool* powered = property<bool>(*adapter, "Powered");
    if (powered != nullptr && !*powered) {
        tell(Trouble::PoweredOff);
        return Outcome::SystemTrouble;
    }
    if (told_ == Trouble::PoweredOff) told_ = Trouble::None;
    adapterGone_ = linkLost_ = resolved_ = deviceAppeared_ = false;
    bus.signals.clear();
    // A strap used before a drop is tried again at once; otherwise search.
    if (device_.empty() || interfaceOf(objects, device_, kDevice) == nullptr) {
        device_ = chooseDevice(objects, !address_.empty());
    }
    if (device_.empty()) {
        const Outcome found = discover(bus, objects);
        if (found != Outcome::Ready) return found;
    }
    return connect(bus, objects);
}

std::string BleSource::chooseDevice(const BusObjects& objects, bool acceptCached) const {
    std::string heard, cached;
    for (const auto& [path, interfaces] : objects) {
        const auto device = interfaces.find(kDevice);
        if (device == interfaces.end()) continue;
        const BusProperties& properties = device->second;
        const std::string* adapter = property<std::string>(properties, "Adapter");
        if (adapter == nullptr || *adapter != adapter_) continue;
        if (!address_.empty()) {
            const std::string* address = property<std::string>(properties, "Address");
            if (address != nullptr && upper(*address) == address_) return path;
            continue;
        }
        const auto* uuids = property<std::vector<std::string>>(properties, "UUIDs");
        if (uuids == nullptr ||
            std::none_of(uuids->begin(), uuids->end(),
                         [](const std::string& uuid) { return lower(uuid) == kHeartRateService; }))
            continue;
        if (flag(properties, "Connected")) return path;
        // RSSI is there only for a device heard advertising in this discovery.
        if (properties.count("RSSI") != 0 && heard.empty()) heard = path;
        if (cached.empty()) cached = path;
    }
    if (!heard.empty()) return heard;
    return acceptCached ? cached : std::string();
}

BleSource::Outcome BleSource::discover(BusConnection& bus, BusObjects& objects) {
    BusReply reply;
    const auto filter = [](sd_bus_message* m) {
        // {"UUIDs": <["180d"]>, "Transport": <"le">}
        const char* uuids[] = {kHeartRateService, nullptr};
        int r = sd_bus_message_open_container(m, 'a', "{sv}");
        if (r >= 0) r = sd_bus_message_append(m, "{sv}", "UUIDs", "as", 1, uuids[0]);
        if (r >= 0) r = sd_bus_message_append(m, "{sv}", "Transport", "s", "le");
        if (r >= 0) r = sd_bus_message_close_container(m);
        return r;
    };
    if (!bus.call(adapter_, kAdapter, "SetDiscoveryFilter", filter, kShortCall, reply))
        return Outcome::Stopped;
    if (!bus.call(adapter_, kAdapter, "StartDiscovery", nullptr, kShortCall, reply))
        return Outcome::Stopped;
    if (!reply.ok && reply.errorName != "org.bluez.Error.InProgress") {
        const Trouble trouble = troubleOf(reply);
        if (trouble != Trouble::None) {
            tell(trouble);
            return Outcome::SystemTrouble;
        }
        return Outcome::Failed;
    }
    discovering_ = true;
    const auto started = Clock::now();
    if (!searchingSince_) searchingSince_ = started;
    auto nextLook = started + 1s;
    while (device_.empty()) {
        if (!bus.wait(nextLook)) return Outcome::Stopped;
        handleSignals(bus);
        if (adapterGone_) return Outcome::AdapterGone;
        const auto now = Clock::now();
        if (!toldNotFound_ && now - *searchingSince_ >= kNotFoundAfter) {
            toldNotFound_ = true;
            tellNotFound();
        }
        if (!deviceAppeared_ && now < nextLook) continue;
        deviceAppeared_ = false;
        nextLook = now + 1s;
        if (!bus.managedObjects(objects, reply)) return Outcome::Stopped;
        if (reply.ok) device_ = chooseDevice(objects, now - started >= kCachedAfter);
    }
    // Discovery slows a connection down; BlueZ's advice is to stop it first.
    discovering_ = false;
    if (!bus.call(adapter_, kAdapter, "StopDiscovery", nullptr, kShortCall, reply))
        return Outcome::Stopped;
    return Outcome::Ready;
}

BleSource::Outcome BleSource::connect(BusConnection& bus, BusObjects& objects) {
    // A strap BlueZ knows from before but cannot reach counts as not found either.
    if (!searchingSince_) searchingSince_ = Clock::now();
    BusReply reply;
    connecting_ = true;
    if (!bus.call(device_, kDevice, "Connect", nullptr, kConnectCall, reply))
        return Outcome::Stopped;
    connecting_ = false;
    if (!reply.ok && reply.errorName != "org.bluez.Error.AlreadyConnected") {
        const Trouble trouble = troubleOf(reply);
        if (trouble != Trouble::None) {
            tell(trouble);
            return Outcome::SystemTrouble;
        }
        if (!toldNotFound_ && Clock::now() - *searchingSince_ >= kNotFoundAfter) {
            toldNotFound_ = true;
            tellNotFound();
        }
        return Outcome::Failed; // out of range or busy: tried again after a pause
    }
    // The program asked for this link (even to one already there, which BlueZ then keeps for
    // it too): it lets it go at the end.
    connectedByUs_ = true;
    linkLost_ = false;
    handleSignals(bus);
    if (adapterGone_) return Outcome::AdapterGone;
    if (!bus.managedObjects(objects, reply)) return Outcome::Stopped;
    const BusProperties* device = interfaceOf(objects, device_, kDevice);
    if (device != nullptr) resolved_ = resolved_ || flag(*device, "ServicesResolved");
    const auto until = Clock::now() + kResolveWait;
    while (!resolved_) {
        if (linkLost_) return Outcome::Dropped;
        if (Clock::now() >= until) return Outcome::Failed;
        if (!bus.wait(until)) return Outcome::Stopped;
        handleSignals(bus);
        if (adapterGone_) return Outcome::AdapterGone;
    }
    if (!bus.managedObjects(objects, reply)) return Outcome::Stopped;
    characteristic_.clear();
    control_.clear();
    data_.clear();
    const std::string under = device_ + "/";
    for (const auto& [path, interfaces] : objects) {
        const auto found = interfaces.find(kCharacteristic);
        if (path.compare(0, under.size(), under) != 0 || found == interfaces.end()) continue;
        const std::string* uuid = property<std::string>(found->second, "UUID");
        if (uuid == nullptr) continue;
        const std::string name = lower(*uuid);
        if (name == kMeasurement && characteristic_.empty()) characteristic_ = path;
        if (name == kControlPoint) control_ = path;
        if (name == kMeasurementData) data_ = path;
    }
    if (characteristic_.empty()) {
        tell(Trouble::NoMeasurement);
        return Outcome::Failed;
    }
    if (!bus.call(characteristic_, kCharacteristic, "StartNotify", nullptr, kShortCall, reply))
        return Outcome::Stopped;
    if (!reply.ok) return Outcome::Failed;
    if (told_ == Trouble::NoMeasurement) told_ = Trouble::None;
    // Streaming: the search is over; a later one is news again.
    searchingSince_.reset();
    toldNotFound_ = false;
    notifying_ = true;
    signal_.linkUp(Clock::now());
    if (!startBreath(bus)) return Outcome::Stopped;
    return stream(bus);
}

bool BleSource::startBreath(BusConnection& bus) {
    if (control_.empty() || data_.empty()) return true; // no breath sensor: nothing changes
    // Both subscriptions first, so that no answer and no frame is missed.
    for (const std::string* path : {&control_, &data_}) {
        BusReply reply;
        if (!bus.call(*path, kCharacteristic, "StartNotify", nullptr, kShortCall, reply))
            return false;
        if (!reply.ok) {
            tellBreath("the strap's accelerometer cannot be subscribed to (" + reply.errorName +
                       ")");
            return true;
        }
        breathNotifying_ = true;
    }
    return follow(bus, breath_.begin(Clock::now()));
}

// Writes the command a step gives, tells its problem, or lets the breath switch on.
bool BleSource::follow(BusConnection& bus, const BreathStream::Step& step) {
    if (!step.problem.empty()) {
        tellBreath(step.problem);
        return true;
    }
    if (step.started) {
        breathStreamed_ = true;
        sink_->breath(false, BreathDetector::kSwitchingOn, programTick());
        reportBreath(SourceSink::kBreathAsStreamed);
    }
    if (step.write.empty()) return true;
    BusReply reply;
    if (!bus.call(control_, kCharacteristic, "WriteValue", writeValueArguments(step.write),
                  kShortCall, reply))
        return false;
    if (!reply.ok) {
        breath_.end();
        tellBreath("the strap refused a command to its accelerometer (" + reply.errorName + ")");
    }
    return true;
}

void BleSource::tellBreath(const std::string& problem) {
    // Given up until the next connection; a sensor that streamed before is searching.
    reportBreath(breathStreamed_ ? kStatusSearching : kStatusNoSensor);
    if (toldBreath_) return;
    toldBreath_ = true;
    std::fprintf(stderr, "halvent: Bluetooth: %s; the breath sensor is not used.\n",
                 problem.c_str());
}

void BleSource::endBreath() {
    breath_.end();
    breathNotifying_ = false;
    if (breathReport_ == SourceSink::kBreathAsStreamed) reportBreath(kStatusSearching);
}

void BleSource::onBreathData(const std::vector<std::uint8_t>& value) {
    const std::uint32_t tick = programTick();
    const std::int64_t arrivalNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    std::string problem;
    const auto changes = breath_.onData(value.data(), value.size(), arrivalNs, problem);
    if (!problem.empty())
        std::fprintf(stderr, "halvent: Bluetooth: %s; such frames are skipped.\n",
                     problem.c_str());
    for (const BreathStream::Change& change : changes) {
        const auto agoMs = static_cast<std::uint32_t>(
            std::max<std::int64_t>((arrivalNs - change.atNs + 500'000) / 1'000'000, 0));
        sink_->breath(change.in, change.status, tick - agoMs);
    }
}

BleSource::Outcome BleSource::stream(BusConnection& bus) {
    streaming_ = true;
    lastValue_ = Clock::now();
    auto nextCheck = lastValue_;
    Outcome outcome = Outcome::Stopped;
    for (;;) {
        const auto now = Clock::now();
        report(signal_.pulseStatus(now));
        // Wake when the silence runs out, and for the check on a silent strap.
        const auto deadline =
            std::min({signal_.nextTimedChange(now), std::max(nextCheck, lastValue_ + kQuietCheck),
                      breath_.answerDue()});
        if (!bus.wait(deadline)) break;
        handleSignals(bus);
        if (Clock::now() >= breath_.answerDue() && !follow(bus, breath_.onTimeout(Clock::now())))
            break;
        if (adapterGone_) {
            outcome = Outcome::AdapterGone;
            break;
        }
        if (linkLost_) {
            outcome = Outcome::Dropped;
            break;
        }
        // A silent strap may be a BlueZ that went away without a word (restarted, crashed):
        // while nothing arrives, ask now and then whether the strap is still connected.
        const auto later = Clock::now();
        if (later - lastValue_ < kQuietCheck || later < nextCheck) continue;
        nextCheck = later + kQuietCheck;
        BusObjects objects;
        BusReply reply;
        if (!bus.managedObjects(objects, reply)) break;
        handleSignals(bus);
        const BusProperties* device = interfaceOf(objects, device_, kDevice);
        if (adapterGone_) {
            outcome = Outcome::AdapterGone;
            break;
        }
        if (!reply.ok || device == nullptr || !flag(*device, "Connected")) {
            outcome = Outcome::Dropped;
            break;
        }
    }
    streaming_ = false;
    return outcome;
}

void BleSource::handleSignals(BusConnection& bus) {
    while (!bus.signals.empty()) {
        const BusSignal signal = std::move(bus.signals.front());
        bus.signals.pop_front();
        switch (signal.kind) {
        case BusSignal::Kind::InterfacesAdded:
            if (signal.added.count(kDevice) != 0) deviceAppeared_ = true;
            break;
        case BusSignal::Kind::InterfacesRemoved: {
            const auto has = [&](const char* name) {
                return std::find(signal.removed.begin(), signal.removed.end(), name) !=
                       signal.removed.end();
            };
            if (!adapter_.empty() && signal.path == adapter_ && has(kAdapter)) adapterGone_ = true;
            if (!device_.empty() && signal.path == device_ && has(kDevice)) linkLost_ = true;
            break;
        }
        case BusSignal::Kind::PropertiesChanged:
            if (signal.path == device_ && signal.interface == kDevice) {
                const auto* connected = property<bool>(signal.changed, "Connected");
                if (connected != nullptr && !*connected) linkLost_ = true;
                const auto* resolved = property<bool>(signal.changed, "ServicesResolved");
                if (resolved != nullptr) resolved_ = *resolved;
            } else if (signal.interface == kCharacteristic) {
                const auto* value = property<std::vector<std::uint8_t>>(signal.changed, "Value");
                if (value == nullptr) break;
                if (streaming_ && signal.path == characteristic_) onValue(*value);
                if (breathNotifying_ && signal.path == data_) onBreathData(*value);
                if (breathNotifying_ && signal.path == control_)
                    follow(bus, breath_.onAnswer(value->data(), value->size(), Clock::now()));
            }
            break;
        }
    }
}

void BleSource::onValue(const std::vector<std::uint8_t>& value) {
    const std::uint32_t arrived = programTick();
    const auto now = Clock::now();
    lastValue_ = now;
    const HrMeasurement measurement = parseHrMeasurement(value.data(), value.size());
    if (!measurement.valid && !toldBadMeasurement_) {
        toldBadMeasurement_ = true;
        std::fprintf(stderr,
                     "halvent: Bluetooth: the strap sent a measurement that cannot be read (%s); "
                     "such measurements are skipped.\n",
                     measurement.error.c_str());
    }
    const std::vector<double> beats = signal_.onMeasurement(measurement, now);
    // The beats first: a pulse that turns ready with them is then held back until the link
    // knows how this strap batches.
    if (measurement.valid && signal_.hasContact()) sink_->batch(beats, arrived);
    report(signal_.pulseStatus(now));
    if (!beats.empty()) beatsFlowed_ = true;
}

} // namespace

std::unique_ptr<SensorSource> makeBleSource(const std::string& address) {
    return std::make_unique<BleSource>(address);
}

} // namespace brix
