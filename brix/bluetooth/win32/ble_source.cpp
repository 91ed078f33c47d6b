// The strap source on Windows: a strap paired in Windows' settings, reached through the GATT
// functions of BluetoothApis.dll; its thread finds, subscribes, streams and reconnects.
#include "bluetooth/ble_source.hpp"

#include "bluetooth/breath_stream.hpp"
#include "bluetooth/hr_measurement.hpp"
#include "bluetooth/pmd_frame.hpp"
#include "bluetooth/strap_signal.hpp"
#include "bluetooth/win32/gatt_library.hpp"
#include "bluetooth/win32/paired_straps.hpp"
#include "brix_message.hpp"
#include "os/post_message.hpp"
#include "os/trouble_line.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace brix {

namespace {

using namespace std::chrono_literals;

// The Heart Rate service and its measurement; the measurement-data service, its control point
// and data, through which a strap that has one streams its accelerometer (the breath sensor).
constexpr GUID kHeartRateService = {
    0x0000180d, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5f, 0x9b, 0x34, 0xfb}};
constexpr USHORT kMeasurement = 0x2A37;
constexpr GUID kMeasurementDataService = {
    0xfb005c80, 0x02e7, 0xf387, {0x1c, 0xad, 0x8a, 0xcd, 0x2d, 0x8d, 0xf0, 0xc8}};
constexpr GUID kControlPoint = {
    0xfb005c81, 0x02e7, 0xf387, {0x1c, 0xad, 0x8a, 0xcd, 0x2d, 0x8d, 0xf0, 0xc8}};
constexpr GUID kMeasurementData = {
    0xfb005c82, 0x02e7, 0xf387, {0x1c, 0xad, 0x8a, 0xcd, 0x2d, 0x8d, 0xf0, 0xc8}};

// Tries again after a failure: 1, 2, 4 ... 30 s; system problems every 5 s.
constexpr auto kFirstBackoff = 1s;
constexpr auto kLongestBackoff = 30s;
constexpr auto kSystemRetry = 5s;
// A strap silent this long is asked, from the device itself, whether it is still there.
constexpr auto kQuietCheck = 5s;
// Not reaching the strap this long, the user is told what to check.
constexpr auto kNotFoundAfter = 15s;
// stop() lets the thread's last words to the strap go this long before cancelling them.
constexpr auto kCloseGrace = 50ms;

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A 16-bit UUID of the Bluetooth base, as the system may give it whole.
GUID baseUuid(USHORT shortUuid) {
    GUID guid = kHeartRateService;
    guid.Data1 = shortUuid;
    return guid;
}

bool sameUuid(const gatt::Uuid& uuid, const GUID& guid) {
    if (uuid.isShortUuid) return IsEqualGUID(baseUuid(uuid.value.shortUuid), guid) != 0;
    return IsEqualGUID(uuid.value.longUuid, guid) != 0;
}

// Whether a failed call means the strap is out of reach (or switched off), rather than a
// problem with the system or the strap's answer.
bool outOfReach(HRESULT result) {
    for (DWORD code :
         {ERROR_DEVICE_NOT_CONNECTED, ERROR_SEM_TIMEOUT, ERROR_NOT_CONNECTED, ERROR_BAD_NET_RESP,
          ERROR_GEN_FAILURE, ERROR_TIMEOUT, ERROR_OPERATION_ABORTED})
        if (result == HRESULT_FROM_WIN32(code)) return true;
    return false;
}

std::string hresultText(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// Why the strap cannot be used at all; each is told once, until it changes.
enum class Trouble { None, NoLibrary, NoAdapter, NotPaired, NoMeasurement, Refused, Unexpected };

// One GATT service of the strap, opened through its device interface.
struct OpenService {
    HANDLE handle = INVALID_HANDLE_VALUE;
    gatt::Service service{};

    bool open() const { return handle != INVALID_HANDLE_VALUE; }
    void close() {
        if (open()) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

// Which characteristic a notification came from: the registration's context.
enum class Channel { Measurement, Control, Data };

// A characteristic the source subscribes to, with its configuration descriptor.
struct Subscription {
    gatt::Characteristic characteristic{};
    gatt::Descriptor configuration{};
    bool found = false;
    gatt::EventHandle event = nullptr; // registered for its value changes
    bool subscribed = false;           // the descriptor was written to notify or indicate
};

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
        sink_ = &sink;
        stopping_.store(false);
        finished_.store(false);
        // Told before the first frame can be drawn, so the panels start the same on every run.
        report(StrapSignal::kSwitchingOn);
        try {
            thread_ = std::thread([this] { run(); });
        } catch (...) {
            error = "The Bluetooth source cannot start its thread.";
            return false;
        }
        return true;
    }

    void stop() override {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_.store(true);
        }
        wake_.notify_all();
        // The GATT calls wait for the strap and cannot be given a deadline: a call still
        // waiting after the grace is cancelled (and again, should it start just after).
        const auto cancelFrom = Clock::now() + kCloseGrace;
        while (!finished_.load()) {
            std::this_thread::sleep_for(5ms);
            if (Clock::now() >= cancelFrom && threadHandle_.load() != nullptr)
                CancelSynchronousIo(threadHandle_.load());
        }
        thread_.join();
        if (threadHandle_.load() != nullptr) CloseHandle(threadHandle_.load());
        threadHandle_.store(nullptr);
    }

  private:
    enum class Outcome { Stopped, SystemTrouble, Failed, Dropped };

    // A value the system handed to the callback, with when it came.
    struct Arrival {
        Channel channel;
        std::vector<std::uint8_t> value;
        std::uint32_t tick;
        Clock::time_point at;
    };
    // The context of one registration: the callback's way back to the source.
    struct Route {
        BleSource* source;
        Channel channel;
    };

    void run();
    bool pauseFor(Clock::duration pause); // false when stopping
    Outcome attempt();
    Outcome connect(const ServiceInterface& strap);
    Outcome stream();
    void close(bool lastWords);
    HRESULT writeControl(const std::vector<std::uint8_t>& bytes); // to the accelerometer
    // Opens `path` and finds the service `uuid` in it.
    HRESULT openService(const std::wstring& path, const GUID& uuid, OpenService& service);
    HRESULT findCharacteristic(OpenService& service, const GUID& uuid, Subscription& found);
    HRESULT subscribe(OpenService& service, Subscription& subscription, Route& route);
    HRESULT unsubscribe(OpenService& service, Subscription& subscription);
    static void CALLBACK onEvent(gatt::EventType type, void* out, void* context);
    void handle(const Arrival& arrival);
    void onValue(const Arrival& arrival);
    bool stillThere(); // a read from the strap itself answers
    void startBreath();
    void follow(const BreathStream::Step& step);
    void onBreathData(const Arrival& arrival);
    void endBreath();
    void tellBreath(const std::string& problem);
    void report(int pulse);
    void reportBreath(int breath);
    void tell(Trouble trouble, const std::string& detail = {});
    void tellNotReached(const std::string& why);

    const std::string address_; // upper case; empty for the first paired strap
    std::thread thread_;
    std::atomic<HANDLE> threadHandle_{nullptr}; // the thread's own, to cancel its calls
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    SourceSink* sink_ = nullptr;
    gatt::Library gatt_;

    // Shared with the system's callback thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Arrival> arrivals_;
    Route routes_[3] = {
        {this, Channel::Measurement}, {this, Channel::Control}, {this, Channel::Data}};

    // Owned by the thread.
    OpenService heart_, pmd_;
    Subscription measurement_, control_, data_;
    std::string strapAddress_; // the strap in use, to find its other service
    int lastPulse_ = -1;
    Trouble told_ = Trouble::None;
    bool toldBadMeasurement_ = false;
    std::optional<Clock::time_point> notReachedSince_;
    bool toldNotReached_ = false;
    bool beatsFlowed_ = false;
    Clock::time_point lastValue_{};
    StrapSignal signal_;
    BreathStream breath_;
    bool breathNotifying_ = false;
    int breathReport_ = kStatusNoSensor;
    bool breathStreamed_ = false;
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

void BleSource::tell(Trouble trouble, const std::string& detail) {
    if (trouble == told_) return;
    told_ = trouble;
    std::string text;
    switch (trouble) {
    case Trouble::NoLibrary:
        text = detail;
        break;
    case Trouble::NoAdapter:
        text = "no Bluetooth adapter is on; switch Bluetooth on in Settings > Bluetooth & devices "
               "(or plug an adapter in)";
        break;
    case Trouble::NotPaired:
        text = (address_.empty() ? std::string("no heart-rate strap is paired")
                                 : "the strap " + address_ + " is not paired") +
               "; wear the strap, then pair it in Settings > Bluetooth & devices > Add device > "
               "Bluetooth";
        break;
    case Trouble::NoMeasurement:
        text = "the strap offers no heart-rate measurement; is it a heart-rate strap?";
        break;
    case Trouble::Refused:
        text = "the strap refused to send its measurements (" + detail +
               "); remove it in Settings > Bluetooth & devices and pair it again";
        break;
    case Trouble::Unexpected:
        text = "the strap cannot be used (" + detail + ")";
        break;
    case Trouble::None:
        return;
    }
    tellTroubleLine("halvent: Bluetooth: " + text + "; the pulse stays not ready.");
}

void BleSource::tellNotReached(const std::string& why) {
    if (!notReachedSince_) notReachedSince_ = Clock::now();
    if (toldNotReached_ || Clock::now() - *notReachedSince_ < kNotFoundAfter) return;
    toldNotReached_ = true;
    // Windows may list a radio switched off in its settings as present: that is asked too.
    const std::string strap = strapAddress_.empty() ? "strap" : "strap " + strapAddress_;
    tellTroubleLine("halvent: Bluetooth: the " + strap + " does not answer (" + why + ") in " +
                    std::to_string(kNotFoundAfter.count()) +
                    " s; is it on, worn and near, and Bluetooth on in Settings > Bluetooth & "
                    "devices? halvent goes on trying.");
}

void BleSource::run() {
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    threadHandle_.store(self);
    std::string error;
    if (!gatt_.load(error)) {
        tell(Trouble::NoLibrary, error);
        pauseFor(Clock::duration::max());
        finished_.store(true);
        return;
    }
    std::chrono::milliseconds backoff = kFirstBackoff;
    for (;;) {
        const Outcome outcome = attempt();
        if (outcome == Outcome::Stopped || stopping_.load()) break;
        close(false);
        if (outcome == Outcome::Dropped) {
            // The strap went out of reach: searching, never the disconnection bit.
            signal_.linkDown();
            report(signal_.pulseStatus(Clock::now()));
        }
        if (beatsFlowed_) backoff = kFirstBackoff;
        beatsFlowed_ = false;
        Clock::duration pause = kSystemRetry;
        if (outcome != Outcome::SystemTrouble) {
            pause = backoff;
            backoff = std::min<std::chrono::milliseconds>(backoff * 2, kLongestBackoff);
        }
        if (!pauseFor(pause)) break;
    }
    close(true);
    finished_.store(true);
}

bool BleSource::pauseFor(Clock::duration pause) {
    std::unique_lock lock(mutex_);
    const auto until =
        pause == Clock::duration::max() ? Clock::time_point::max() : Clock::now() + pause;
    while (!stopping_.load() && Clock::now() < until) {
        arrivals_.clear(); // nothing is subscribed between attempts
        if (until == Clock::time_point::max())
            wake_.wait(lock);
        else
            wake_.wait_until(lock, until);
    }
    return !stopping_.load();
}

BleSource::Outcome BleSource::attempt() {
    if (!gatt_.radioPresent()) {
        tell(Trouble::NoAdapter);
        return Outcome::SystemTrouble;
    }
    if (told_ == Trouble::NoAdapter) told_ = Trouble::None;
    const std::vector<ServiceInterface> straps = findServiceInterfaces(kHeartRateService);
    const auto chosen = std::find_if(straps.begin(), straps.end(), [&](const auto& strap) {
        return address_.empty() || strap.address == address_;
    });
    if (chosen == straps.end()) {
        tell(Trouble::NotPaired);
        return Outcome::SystemTrouble;
    }
    if (told_ == Trouble::NotPaired) told_ = Trouble::None;
    strapAddress_ = chosen->address;
    return connect(*chosen);
}

HRESULT BleSource::openService(const std::wstring& path, const GUID& uuid, OpenService& service) {
    service.handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (!service.open()) return HRESULT_FROM_WIN32(GetLastError());
    // A service interface lists its own service; a few at most are asked for.
    gatt::Service services[8];
    USHORT count = 0;
    const HRESULT result = gatt_.getServices(service.handle, 8, services, &count, gatt::kFlagNone);
    if (FAILED(result)) return result;
    for (USHORT i = 0; i < std::min<USHORT>(count, 8); ++i) {
        if (sameUuid(services[i].serviceUuid, uuid)) {
            service.service = services[i];
            return S_OK;
        }
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

HRESULT BleSource::findCharacteristic(OpenService& service, const GUID& uuid, Subscription& found) {
    found = Subscription{};
    USHORT count = 0;
    HRESULT result = gatt_.getCharacteristics(service.handle, &service.service, 0, nullptr, &count,
                                              gatt::kFlagNone);
    if (result != HRESULT_FROM_WIN32(ERROR_MORE_DATA)) return FAILED(result) ? result : S_OK;
    std::vector<gatt::Characteristic> all(count);
    result = gatt_.getCharacteristics(service.handle, &service.service, count, all.data(), &count,
                                      gatt::kFlagNone);
    if (FAILED(result)) return result;
    all.resize(std::min<std::size_t>(count, all.size()));
    for (gatt::Characteristic& characteristic : all) {
        if (!sameUuid(characteristic.characteristicUuid, uuid)) continue;
        USHORT descriptors = 0;
        result = gatt_.getDescriptors(service.handle, &characteristic, 0, nullptr, &descriptors,
                                      gatt::kFlagNone);
        if (result != HRESULT_FROM_WIN32(ERROR_MORE_DATA)) return FAILED(result) ? result : S_OK;
        std::vector<gatt::Descriptor> list(descriptors);
        result = gatt_.getDescriptors(service.handle, &characteristic, descriptors, list.data(),
                                      &descriptors, gatt::kFlagNone);
        if (FAILED(result)) return result;
        list.resize(std::min<std::size_t>(descriptors, list.size()));
        for (const gatt::Descriptor& descriptor : list) {
            if (descriptor.descriptorType != gatt::ClientCharacteristicConfiguration) continue;
            found.characteristic = characteristic;
            found.configuration = descriptor;
            found.found = true;
            return S_OK;
        }
    }
    return S_OK;
}

// Registers for the characteristic's changes, then asks the strap to send them.
HRESULT BleSource::subscribe(OpenService& service, Subscription& subscription, Route& route) {
    gatt::ValueChangedEventRegistration registration{};
    registration.numCharacteristics = 1;
    registration.characteristics[0] = subscription.characteristic;
    HRESULT result =
        gatt_.registerEvent(service.handle, gatt::CharacteristicValueChangedEvent, &registration,
                            &BleSource::onEvent, &route, &subscription.event, gatt::kFlagNone);
    if (FAILED(result)) {
        subscription.event = nullptr;
        return result;
    }
    gatt::DescriptorValue value{};
    value.descriptorType = gatt::ClientCharacteristicConfiguration;
    value.descriptorUuid = subscription.configuration.descriptorUuid;
    const bool indicate =
        subscription.characteristic.isIndicatable && !subscription.characteristic.isNotifiable;
    value.clientCharacteristicConfiguration.isSubscribeToNotification = indicate ? 0 : 1;
    value.clientCharacteristicConfiguration.isSubscribeToIndication = indicate ? 1 : 0;
    result = gatt_.setDescriptorValue(service.handle, &subscription.configuration, &value,
                                      gatt::kFlagNone);
    if (SUCCEEDED(result)) subscription.subscribed = true;
    return result;
}

// Unregisters first: no callback runs after UnregisterEvent returns.
HRESULT BleSource::unsubscribe(OpenService& service, Subscription& subscription) {
    if (subscription.event != nullptr) gatt_.unregisterEvent(subscription.event, gatt::kFlagNone);
    subscription.event = nullptr;
    HRESULT result = S_OK;
    if (subscription.subscribed && service.open()) {
        gatt::DescriptorValue value{};
        value.descriptorType = gatt::ClientCharacteristicConfiguration;
        value.descriptorUuid = subscription.configuration.descriptorUuid;
        result = gatt_.setDescriptorValue(service.handle, &subscription.configuration, &value,
                                          gatt::kFlagNone);
    }
    subscription.subscribed = false;
    return result;
}

void CALLBACK BleSource::onEvent(gatt::EventType type, void* out, void* context) {
    // On a thread of the system's: the value is copied and handed to the source's thread.
    if (type != gatt::CharacteristicValueChangedEvent || out == nullptr || context == nullptr)
        return;
    const auto* event = static_cast<const gatt::ValueChangedEvent*>(out);
    const gatt::CharacteristicValue* value = event->characteristicValue;
    if (value == nullptr) return;
    std::size_t size = value->dataSize;
    const std::size_t header = offsetof(gatt::CharacteristicValue, data);
    if (event->characteristicValueDataSize >= header)
        size = std::min<std::size_t>(size, event->characteristicValueDataSize - header);
    const Route& route = *static_cast<const Route*>(context);
    Arrival arrival{route.channel, std::vector<std::uint8_t>(value->data, value->data + size),
                    programTick(), Clock::now()};
    {
        std::lock_guard lock(route.source->mutex_);
        route.source->arrivals_.push_back(std::move(arrival));
    }
    route.source->wake_.notify_all();
}

BleSource::Outcome BleSource::connect(const ServiceInterface& strap) {
    HRESULT result = openService(strap.path, kHeartRateService, heart_);
    if (SUCCEEDED(result))
        result = findCharacteristic(heart_, baseUuid(kMeasurement), measurement_);
    if (SUCCEEDED(result) && !measurement_.found) {
        tell(Trouble::NoMeasurement);
        return Outcome::Failed;
    }
    if (SUCCEEDED(result)) result = subscribe(heart_, measurement_, routes_[0]);
    if (stopping_.load()) return Outcome::Stopped;
    if (FAILED(result)) {
        if (outOfReach(result)) {
            tellNotReached(hresultText(result));
        } else if (result == E_ACCESSDENIED || result == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) {
            tell(Trouble::Refused, hresultText(result));
        } else {
            tell(Trouble::Unexpected, "GATT error " + hresultText(result));
        }
        return Outcome::Failed;
    }
    if (told_ == Trouble::NoMeasurement || told_ == Trouble::Refused ||
        told_ == Trouble::Unexpected)
        told_ = Trouble::None;
    // Streaming: a later failure to reach the strap is news again.
    notReachedSince_.reset();
    toldNotReached_ = false;
    signal_.linkUp(Clock::now());
    startBreath();
    return stream();
}

void BleSource::startBreath() {
    // The strap's other service is an interface of its own, found by the same address.
    if (strapAddress_.empty()) return;
    for (const ServiceInterface& service : findServiceInterfaces(kMeasurementDataService)) {
        if (service.address != strapAddress_) continue;
        if (FAILED(openService(service.path, kMeasurementDataService, pmd_))) {
            pmd_.close();
            return;
        }
        break;
    }
    if (!pmd_.open()) return; // no breath sensor: nothing changes
    if (FAILED(findCharacteristic(pmd_, kControlPoint, control_)) ||
        FAILED(findCharacteristic(pmd_, kMeasurementData, data_)) || !control_.found ||
        !data_.found)
        return;
    // Both subscriptions first, so that no answer and no frame is missed.
    for (auto [subscription, route] :
         {std::pair{&control_, &routes_[1]}, std::pair{&data_, &routes_[2]}}) {
        const HRESULT result = subscribe(pmd_, *subscription, *route);
        if (FAILED(result)) {
            tellBreath("the strap's accelerometer cannot be subscribed to (" + hresultText(result) +
                       ")");
            return;
        }
        breathNotifying_ = true;
    }
    follow(breath_.begin(Clock::now()));
}

// Writes the command a step gives, tells its problem, or lets the breath switch on.
void BleSource::follow(const BreathStream::Step& step) {
    if (!step.problem.empty()) {
        tellBreath(step.problem);
        return;
    }
    if (step.started) {
        breathStreamed_ = true;
        sink_->breath(false, BreathDetector::kSwitchingOn, programTick());
        reportBreath(SourceSink::kBreathAsStreamed);
    }
    if (step.write.empty()) return;
    const HRESULT result = writeControl(step.write);
    if (FAILED(result)) {
        breath_.end();
        tellBreath("the strap refused a command to its accelerometer (" + hresultText(result) +
                   ")");
    }
}

void BleSource::tellBreath(const std::string& problem) {
    // Given up until the next connection; a sensor that streamed before is searching.
    reportBreath(breathStreamed_ ? kStatusSearching : kStatusNoSensor);
    if (toldBreath_) return;
    toldBreath_ = true;
    tellTroubleLine("halvent: Bluetooth: " + problem + "; the breath sensor is not used.");
}

void BleSource::endBreath() {
    breath_.end();
    breathNotifying_ = false;
    if (breathReport_ == SourceSink::kBreathAsStreamed) reportBreath(kStatusSearching);
}

void BleSource::onBreathData(const Arrival& arrival) {
    const std::int64_t arrivalNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(arrival.at.time_since_epoch()).count();
    std::string problem;
    const auto changes =
        breath_.onData(arrival.value.data(), arrival.value.size(), arrivalNs, problem);
    if (!problem.empty())
        tellTroubleLine("halvent: Bluetooth: " + problem + "; such frames are skipped.");
    for (const BreathStream::Change& change : changes) {
        const auto agoMs = static_cast<std::uint32_t>(
            std::max<std::int64_t>((arrivalNs - change.atNs + 500'000) / 1'000'000, 0));
        sink_->breath(change.in, change.status, arrival.tick - agoMs);
    }
}

BleSource::Outcome BleSource::stream() {
    lastValue_ = Clock::now();
    auto nextCheck = lastValue_;
    for (;;) {
        const auto now = Clock::now();
        report(signal_.pulseStatus(now));
        // Wake when the silence runs out, for the check on a silent strap, and for an answer
        // of the accelerometer that is overdue.
        const auto deadline =
            std::min({signal_.nextTimedChange(now), std::max(nextCheck, lastValue_ + kQuietCheck),
                      breath_.answerDue()});
        std::deque<Arrival> arrived;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, deadline,
                             [this] { return stopping_.load() || !arrivals_.empty(); });
            arrived.swap(arrivals_);
        }
        if (stopping_.load()) return Outcome::Stopped;
        for (const Arrival& arrival : arrived)
            handle(arrival);
        if (Clock::now() >= breath_.answerDue()) follow(breath_.onTimeout(Clock::now()));
        // The system tells nothing when the link drops: a silent strap is asked, from the
        // device itself, now and then whether it is still there.
        const auto later = Clock::now();
        if (later - lastValue_ < kQuietCheck || later < nextCheck) continue;
        nextCheck = later + kQuietCheck;
        if (!stillThere()) return stopping_.load() ? Outcome::Stopped : Outcome::Dropped;
    }
}

bool BleSource::stillThere() {
    // The measurement's configuration, read from the strap: it must still say "notify".
    gatt::DescriptorValue value{};
    USHORT required = 0;
    const HRESULT result =
        gatt_.getDescriptorValue(heart_.handle, &measurement_.configuration, sizeof value, &value,
                                 &required, gatt::kFlagForceReadFromDevice);
    return SUCCEEDED(result) && value.clientCharacteristicConfiguration.isSubscribeToNotification;
}

void BleSource::handle(const Arrival& arrival) {
    switch (arrival.channel) {
    case Channel::Measurement:
        onValue(arrival);
        break;
    case Channel::Data:
        if (breathNotifying_) onBreathData(arrival);
        break;
    case Channel::Control:
        if (breathNotifying_)
            follow(breath_.onAnswer(arrival.value.data(), arrival.value.size(), arrival.at));
        break;
    }
}

void BleSource::onValue(const Arrival& arrival) {
    lastValue_ = arrival.at;
    const HrMeasurement measurement =
        parseHrMeasurement(arrival.value.data(), arrival.value.size());
    if (!measurement.valid && !toldBadMeasurement_) {
        toldBadMeasurement_ = true;
        tellTroubleLine("halvent: Bluetooth: the strap sent a measurement that cannot be read (" +
                        measurement.error + "); such measurements are skipped.");
    }
    const std::vector<double> beats = signal_.onMeasurement(measurement, arrival.at);
    // The beats first: a pulse that turns ready with them is then held back until the link
    // knows how this strap batches.
    if (measurement.valid && signal_.hasContact()) sink_->batch(beats, arrival.tick);
    report(signal_.pulseStatus(arrival.at));
    if (!beats.empty()) beatsFlowed_ = true;
}

// Lets the strap go: unregistered first, so no callback comes after. The last words (the
// accelerometer stopped, the notifications switched off) only at the end: after a drop or a
// failure the strap would not hear them, and each would wait for it.
void BleSource::close(bool lastWords) {
    if (lastWords && breath_.started() && pmd_.open())
        writeControl(pmd::stopCommand(pmd::kAccelerometer));
    if (!lastWords) data_.subscribed = control_.subscribed = measurement_.subscribed = false;
    unsubscribe(pmd_, data_);
    unsubscribe(pmd_, control_);
    unsubscribe(heart_, measurement_);
    if (breathNotifying_ || breath_.started()) endBreath();
    pmd_.close();
    heart_.close();
}

HRESULT BleSource::writeControl(const std::vector<std::uint8_t>& bytes) {
    // The value: its size, then its bytes, in one block.
    std::vector<unsigned char> block(offsetof(gatt::CharacteristicValue, data) + bytes.size());
    auto* value = reinterpret_cast<gatt::CharacteristicValue*>(block.data());
    value->dataSize = static_cast<ULONG>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), value->data);
    return gatt_.setCharacteristicValue(pmd_.handle, &control_.characteristic, value, 0,
                                        gatt::kFlagNone);
}

} // namespace

std::unique_ptr<SensorSource> makeBleSource(const std::string& address) {
    return std::make_unique<BleSource>(address);
}

} // namespace brix
