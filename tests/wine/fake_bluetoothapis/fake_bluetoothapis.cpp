// A stand-in for Windows' BluetoothApis.dll, for the checks under Wine (which has no Bluetooth
// LE): one paired heart-rate strap that plays a recording of RR intervals in real time, with
// the GATT functions' documented behaviour as far as the strap source uses them. It also has
// the measurement-data service, whose accelerometer, once started through its control point,
// streams a chest breathing 10 times a minute. The device interfaces the source opens are
// registered in the Wine prefix by the test (see wine_strap.py); any of them lists both
// services, as the strap's device interface does.
//
// Chosen by environment variables (paths in Windows form):
//   HALVENT_FAKE_STRAP            story (the default): beats sent every second (give or take a
//                                 quarter) for 15 s, 6 s without skin contact, 8 s, the link
//                                 dropped for 8 s, then on for good; no-adapter; or
//                                 out-of-reach (the strap paired but never in range)
//   HALVENT_FAKE_STRAP_RECORDING  the intervals, one a line in ms
//   HALVENT_FAKE_STRAP_EVENTS     where one line per event goes: subscribed, unsubscribed,
//                                 registered, unregistered, contact-lost, contact-back,
//                                 dropped, reconnected, done; pmd-start and pmd-stop for the
//                                 accelerometer; "rr MS at S" for every interval
//                                 delivered, as the strap encodes it, and when (s after the
//                                 first subscription) the beat that ended it happened
// Notifications run on a thread of the stand-in's own, as the system's do; no callback runs
// after BluetoothGATTUnregisterEvent returns.
#include "bluetooth/win32/gatt_api.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

// Exported by their plain names (the 32-bit build is linked with --kill-at).
#define EXPORTED __declspec(dllexport)

using namespace brix::gatt;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// The strap's attribute table: each characteristic's value follows it, then its configuration.
constexpr USHORT kServiceHandle = 0x0010;
constexpr USHORT kMeasurementHandle = 0x0011;
constexpr USHORT kPmdServiceHandle = 0x0020;
constexpr USHORT kControlHandle = 0x0021;
constexpr USHORT kDataHandle = 0x0024;
constexpr GUID kPmdService = {
    0xfb005c80, 0x02e7, 0xf387, {0x1c, 0xad, 0x8a, 0xcd, 0x2d, 0x8d, 0xf0, 0xc8}};
constexpr double kSampleRateHz = 100;
constexpr int kSamplesAFrame = 36;
constexpr auto kPeriod = 1.0;    // s between notifications
constexpr auto kTimeout = 500ms; // a request to an absent strap fails after this

struct Registration {
    USHORT characteristic;
    EventCallback callback;
    void* context;
};

struct Strap {
    std::mutex mutex; // held while a callback runs: unregistering waits for it
    std::vector<Registration*> registrations;
    // The strap's configuration of each characteristic, kept across links as a bonded one's.
    bool subscribed = false;
    bool controlSubscribed = false, dataSubscribed = false;
    bool linked = true;
    std::vector<std::vector<UCHAR>> answers; // control-point indications still to send
    bool streaming = false;                  // the accelerometer runs
    Clock::time_point streamSince{};
    std::FILE* events = nullptr;
    std::vector<double> recording;
    std::string scenario = "story";
    std::atomic<bool> ending{false};
    std::thread player, accelerometer;
};

Strap& strap() {
    static Strap* const instance = new Strap; // never destroyed: the DLL may go at exit
    return *instance;
}

void say(const std::string& text) {
    Strap& s = strap();
    if (s.events == nullptr) return;
    std::fprintf(s.events, "%s\n", text.c_str());
    std::fflush(s.events);
}

std::string environment(const char* name, const char* otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : otherwise;
}

Uuid shortUuid(USHORT value) {
    Uuid uuid{};
    uuid.isShortUuid = TRUE;
    uuid.value.shortUuid = value;
    return uuid;
}

Uuid longUuid(GUID guid) {
    Uuid uuid{};
    uuid.value.longUuid = guid;
    return uuid;
}

Uuid pmdUuid(unsigned long first) {
    GUID guid = kPmdService;
    guid.Data1 = first;
    return longUuid(guid);
}

Characteristic characteristic(USHORT service, Uuid uuid, USHORT handle, bool indicate) {
    Characteristic c{};
    c.serviceHandle = service;
    c.characteristicUuid = uuid;
    c.attributeHandle = handle;
    c.characteristicValueHandle = static_cast<USHORT>(handle + 1);
    c.isNotifiable = indicate ? FALSE : TRUE;
    c.isIndicatable = indicate ? TRUE : FALSE;
    c.isWritable = indicate ? TRUE : FALSE;
    return c;
}

bool* subscriptionOf(Strap& s, USHORT characteristic) {
    switch (characteristic) {
    case kMeasurementHandle:
        return &s.subscribed;
    case kControlHandle:
        return &s.controlSubscribed;
    case kDataHandle:
        return &s.dataSubscribed;
    default:
        return nullptr;
    }
}

// A Heart Rate Measurement: flags (contact supported and its state, RR present), 8-bit rate,
// intervals in 1/1024 s.
std::vector<UCHAR> measurement(const std::vector<double>& intervalsMs, bool contact) {
    std::vector<UCHAR> value{static_cast<UCHAR>(0x04 | (contact ? 0x02 : 0) | (contact ? 0x10 : 0)),
                             0};
    if (!intervalsMs.empty())
        value[1] = static_cast<UCHAR>(std::lround(60000.0 / intervalsMs.back()));
    for (double ms : intervalsMs) {
        const long units = std::lround(ms * 1024 / 1000);
        value.push_back(static_cast<UCHAR>(units & 0xff));
        value.push_back(static_cast<UCHAR>(units >> 8));
    }
    return value;
}

// Hands a value to every registration of its characteristic while the link is up and the
// strap subscribed; true when someone got it.
bool notify(const std::vector<UCHAR>& bytes, USHORT from = kMeasurementHandle) {
    Strap& s = strap();
    std::lock_guard lock(s.mutex);
    if (!s.linked || !*subscriptionOf(s, from)) return false;
    bool delivered = false;
    std::vector<unsigned char> block(offsetof(CharacteristicValue, data) + bytes.size());
    auto* value = reinterpret_cast<CharacteristicValue*>(block.data());
    value->dataSize = static_cast<ULONG>(bytes.size());
    std::memcpy(value->data, bytes.data(), bytes.size());
    ValueChangedEvent event{static_cast<USHORT>(from + 1), block.size(), value};
    for (Registration* registration : s.registrations) {
        if (registration->characteristic != from) continue;
        registration->callback(CharacteristicValueChangedEvent, &event, registration->context);
        delivered = true;
    }
    return delivered;
}

void put16(std::vector<UCHAR>& out, long value) {
    out.push_back(static_cast<UCHAR>(value & 0xff));
    out.push_back(static_cast<UCHAR>((value >> 8) & 0xff));
}

// What the control point answers a command: F0, the op code, the type, the status, then on
// success a "more" byte and the settings (type, count, values).
std::vector<UCHAR> answer(const UCHAR* command, std::size_t size, bool& start, bool& stop) {
    if (size < 2) return {0xF0, size > 0 ? command[0] : UCHAR{0}, 0, 0x05}; // invalid parameter
    const UCHAR op = command[0], type = command[1];
    if (type != 0x02) return {0xF0, op, type, 0x03}; // only the accelerometer: not supported
    if (op == 0x01) {
        std::vector<UCHAR> out{0xF0, op, type, 0x00, 0x00, 0x00, 4}; // sample rates
        for (long hz : {25, 50, 100, 200})
            put16(out, hz);
        out.insert(out.end(), {0x01, 1});
        put16(out, 16); // bits
        out.insert(out.end(), {0x02, 3});
        for (long g : {2, 4, 8})
            put16(out, g);
        return out;
    }
    if (op == 0x02) {
        start = true;
        std::vector<UCHAR> out{0xF0, op, type, 0x00, 0x00, 0x05, 1}; // the factor, 1.0
        const float factor = 1.0f;
        UCHAR bytes[4];
        std::memcpy(bytes, &factor, 4);
        out.insert(out.end(), bytes, bytes + 4);
        return out;
    }
    if (op == 0x03) {
        stop = true;
        return {0xF0, op, type, 0x00};
    }
    return {0xF0, op, type, 0x01}; // invalid op code
}

// A chest breathing 10 times a minute: the strap tilts along its outward axis (z) by 24 mG
// under gravity, rising as it breathes in.
std::vector<UCHAR> frame(double lastSampleS, int count) {
    std::vector<UCHAR> out{0x02};
    // The strap's clock: ns from an epoch of its own, unrelated to the host's.
    const auto stamp = static_cast<unsigned long long>((1e6 + lastSampleS) * 1e9);
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<UCHAR>(stamp >> (8 * i)));
    out.push_back(0x01); // raw samples
    for (int k = count - 1; k >= 0; --k) {
        const double t = lastSampleS - k / kSampleRateHz;
        const double swing = 12 * std::sin(2 * 3.14159265358979 * t / 6.0);
        put16(out, std::lround(40 + swing / 4));
        put16(out, -120);
        put16(out, std::lround(990 + swing));
    }
    return out;
}

// The measurement-data service's own thread: answers the control point by indications, and
// streams frames while the accelerometer runs and the link is up.
void serveAccelerometer() {
    Strap& s = strap();
    long framesSent = 0;
    Clock::time_point counted{}; // the start whose frames framesSent counts
    while (!s.ending.load()) {
        std::this_thread::sleep_for(10ms);
        std::vector<std::vector<UCHAR>> answers;
        bool streaming;
        Clock::time_point since;
        {
            std::lock_guard lock(s.mutex);
            answers.swap(s.answers);
            if (!s.linked) s.streaming = false; // the strap ends the stream with the link
            streaming = s.streaming;
            since = s.streamSince;
        }
        for (const auto& value : answers)
            notify(value, kControlHandle);
        if (!streaming) continue;
        if (since != counted) {
            counted = since;
            framesSent = 0;
        }
        const double running = std::chrono::duration<double>(Clock::now() - since).count();
        const auto due = static_cast<long>(running * kSampleRateHz / kSamplesAFrame);
        for (; framesSent < due; ++framesSent) {
            const double last = ((framesSent + 1) * kSamplesAFrame - 1) / kSampleRateHz;
            notify(frame(std::chrono::duration<double>(since.time_since_epoch()).count() + last,
                         kSamplesAFrame),
                   kDataHandle);
        }
    }
}

// The heart beats on in real time from the first subscription; every second or so the strap
// sends the beats that ended since; beats without contact or link are never sent.
void play() {
    Strap& s = strap();
    while (!s.ending.load()) {
        {
            std::lock_guard lock(s.mutex);
            if (s.subscribed) break;
        }
        std::this_thread::sleep_for(20ms);
    }
    std::mt19937 jitter(21);
    std::uniform_real_distribution<double> spread(-0.25, 0.25);
    const auto began = Clock::now();
    auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - began).count(); };
    std::size_t next = 0;
    double nextMoment = s.recording.empty() ? 1e9 : s.recording[0] / 1000;
    std::vector<double> moments; // of the beats dueNow() gives
    auto dueNow = [&] {
        std::vector<double> due;
        moments.clear();
        while (next < s.recording.size() && nextMoment <= seconds()) {
            moments.push_back(nextMoment);
            due.push_back(s.recording[next++]);
            if (next == s.recording.size()) next = 0; // over and over
            nextMoment += s.recording[next] / 1000;
        }
        return due;
    };
    auto playFor = [&](double until, bool contact) {
        while (!s.ending.load() && seconds() < until) {
            std::this_thread::sleep_for(std::chrono::duration<double>(kPeriod + spread(jitter)));
            const std::vector<double> due = dueNow();
            if (!contact) {
                notify(measurement({}, false));
                continue;
            }
            if (!notify(measurement(due, true))) continue;
            for (std::size_t i = 0; i < due.size(); ++i) {
                char line[64];
                std::snprintf(line, sizeof line, "rr %.3f at %.3f",
                              std::lround(due[i] * 1024 / 1000) * 1000.0 / 1024, moments[i]);
                say(line);
            }
        }
    };
    playFor(15, true);
    say("contact-lost");
    playFor(21, false);
    say("contact-back");
    playFor(29, true);
    {
        std::lock_guard lock(s.mutex);
        s.linked = false;
    }
    say("dropped");
    while (!s.ending.load() && seconds() < 37)
        std::this_thread::sleep_for(50ms);
    dueNow(); // the beats while the link was down were never sent
    {
        std::lock_guard lock(s.mutex);
        s.linked = true;
    }
    say("reconnected");
    playFor(49, true);
    say("done");
    playFor(1e9, true);
}

void begin() {
    Strap& s = strap();
    s.scenario = environment("HALVENT_FAKE_STRAP", "story");
    s.linked = s.scenario != "out-of-reach";
    const std::string events = environment("HALVENT_FAKE_STRAP_EVENTS", "");
    if (!events.empty()) s.events = std::fopen(events.c_str(), "a");
    std::ifstream in(environment("HALVENT_FAKE_STRAP_RECORDING", ""));
    for (std::string line; std::getline(in, line);) {
        const double ms = std::atof(line.c_str());
        if (ms >= 200 && ms <= 3000) s.recording.push_back(ms); // glitches are no heartbeats
    }
    say("loaded");
    s.player = std::thread(play);
    s.accelerometer = std::thread(serveAccelerometer);
}

HRESULT moreData(USHORT needed, USHORT count, USHORT* actual) {
    if (actual == nullptr) return E_INVALIDARG;
    *actual = needed;
    return count < needed ? HRESULT_FROM_WIN32(ERROR_MORE_DATA) : S_OK;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) begin();
    if (reason == DLL_PROCESS_DETACH) strap().ending.store(true); // the process is ending
    return TRUE;
}

EXPORTED HANDLE WINAPI BluetoothFindFirstRadio(const FindRadioParams* params, HANDLE* radio) {
    if (params == nullptr || params->dwSize != sizeof(FindRadioParams) || radio == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (strap().scenario == "no-adapter") {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return nullptr;
    }
    // Real handles, which the caller closes with CloseHandle and BluetoothFindRadioClose.
    *radio = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

EXPORTED BOOL WINAPI BluetoothFindRadioClose(HANDLE find) {
    return CloseHandle(find);
}

EXPORTED HRESULT WINAPI BluetoothGATTGetServices(HANDLE device, USHORT count, Service* buffer,
                                                 USHORT* actual, ULONG) {
    if (device == nullptr || device == INVALID_HANDLE_VALUE) return E_HANDLE;
    const HRESULT result = moreData(2, count, actual);
    if (result != S_OK) return result;
    if (buffer == nullptr) return E_INVALIDARG;
    buffer[0] = Service{shortUuid(0x180D), kServiceHandle};
    buffer[1] = Service{longUuid(kPmdService), kPmdServiceHandle};
    return S_OK;
}

// Services and their characteristics come from the system's cache: they answer without the
// link, as for any paired device.
EXPORTED HRESULT WINAPI BluetoothGATTGetCharacteristics(HANDLE device, Service* service,
                                                        USHORT count, Characteristic* buffer,
                                                        USHORT* actual, ULONG) {
    if (device == nullptr || service == nullptr) return E_INVALIDARG;
    std::vector<Characteristic> list;
    if (service->attributeHandle == kServiceHandle)
        list = {characteristic(kServiceHandle, shortUuid(0x2A37), kMeasurementHandle, false)};
    else if (service->attributeHandle == kPmdServiceHandle)
        list = {characteristic(kPmdServiceHandle, pmdUuid(0xfb005c81), kControlHandle, true),
                characteristic(kPmdServiceHandle, pmdUuid(0xfb005c82), kDataHandle, false)};
    else
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    const HRESULT result = moreData(static_cast<USHORT>(list.size()), count, actual);
    if (result != S_OK) return result;
    if (buffer == nullptr) return E_INVALIDARG;
    std::copy(list.begin(), list.end(), buffer);
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTGetDescriptors(HANDLE device, Characteristic* characteristic,
                                                    USHORT count, Descriptor* buffer,
                                                    USHORT* actual, ULONG) {
    if (device == nullptr || characteristic == nullptr) return E_INVALIDARG;
    if (subscriptionOf(strap(), characteristic->attributeHandle) == nullptr)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    const HRESULT result = moreData(1, count, actual);
    if (result != S_OK) return result;
    if (buffer == nullptr) return E_INVALIDARG;
    Descriptor d{};
    d.serviceHandle = characteristic->serviceHandle;
    d.characteristicHandle = characteristic->attributeHandle;
    d.descriptorType = ClientCharacteristicConfiguration;
    d.descriptorUuid = shortUuid(0x2902);
    d.attributeHandle = static_cast<USHORT>(characteristic->attributeHandle + 2);
    buffer[0] = d;
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTGetDescriptorValue(HANDLE device, Descriptor* descriptor,
                                                        ULONG size, DescriptorValue* value,
                                                        USHORT* required, ULONG flags) {
    if (device == nullptr || descriptor == nullptr) return E_INVALIDARG;
    if (required != nullptr) *required = sizeof(DescriptorValue);
    if (value == nullptr || size < sizeof(DescriptorValue))
        return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    Strap& s = strap();
    bool linked, subscribed;
    {
        std::lock_guard lock(s.mutex);
        bool* state = subscriptionOf(s, static_cast<USHORT>(descriptor->attributeHandle - 2));
        if (state == nullptr) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        linked = s.linked;
        subscribed = *state;
    }
    if ((flags & kFlagForceReadFromDevice) != 0 && !linked) {
        std::this_thread::sleep_for(kTimeout);
        return HRESULT_FROM_WIN32(ERROR_SEM_TIMEOUT); // the request timed out
    }
    *value = DescriptorValue{};
    value->descriptorType = ClientCharacteristicConfiguration;
    value->descriptorUuid = shortUuid(0x2902);
    value->clientCharacteristicConfiguration.isSubscribeToNotification = subscribed;
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTSetDescriptorValue(HANDLE device, Descriptor* descriptor,
                                                        DescriptorValue* value, ULONG) {
    if (device == nullptr || descriptor == nullptr || value == nullptr) return E_INVALIDARG;
    Strap& s = strap();
    const auto characteristic = static_cast<USHORT>(descriptor->attributeHandle - 2);
    if (subscriptionOf(s, characteristic) == nullptr ||
        value->descriptorType != ClientCharacteristicConfiguration)
        return E_INVALIDARG;
    // The control point indicates, the others notify: a subscription of the wrong kind is
    // refused as the strap would.
    const auto& wanted = value->clientCharacteristicConfiguration;
    const bool indicates = characteristic == kControlHandle;
    if ((indicates ? wanted.isSubscribeToNotification : wanted.isSubscribeToIndication) != 0)
        return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    const bool on =
        (indicates ? wanted.isSubscribeToIndication : wanted.isSubscribeToNotification) != 0;
    {
        std::lock_guard lock(s.mutex);
        if (!s.linked) return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
        *subscriptionOf(s, characteristic) = on;
    }
    const char* name = characteristic == kMeasurementHandle ? ""
                       : characteristic == kControlHandle   ? "pmd-control-"
                                                            : "pmd-data-";
    say(std::string(name) + (on ? "subscribed" : "unsubscribed"));
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTSetCharacteristicValue(HANDLE device, Characteristic* target,
                                                            CharacteristicValue* value,
                                                            ReliableWriteContext, ULONG) {
    if (device == nullptr || target == nullptr || value == nullptr) return E_INVALIDARG;
    if (target->attributeHandle != kControlHandle) // only the control point is writable
        return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    Strap& s = strap();
    bool start = false, stop = false;
    {
        std::lock_guard lock(s.mutex);
        if (!s.linked) return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
        s.answers.push_back(answer(value->data, value->dataSize, start, stop));
        if (start) {
            s.streaming = true;
            s.streamSince = Clock::now();
        }
        if (stop) s.streaming = false;
    }
    if (start) say("pmd-start");
    if (stop) say("pmd-stop");
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTRegisterEvent(HANDLE service, EventType type, void* parameter,
                                                   EventCallback callback, void* context,
                                                   EventHandle* handle, ULONG) {
    if (service == nullptr || type != CharacteristicValueChangedEvent || parameter == nullptr ||
        callback == nullptr || handle == nullptr)
        return E_INVALIDARG;
    const auto* registration = static_cast<const ValueChangedEventRegistration*>(parameter);
    const USHORT characteristic = registration->characteristics[0].attributeHandle;
    if (registration->numCharacteristics != 1 || subscriptionOf(strap(), characteristic) == nullptr)
        return E_INVALIDARG;
    auto* entry = new Registration{characteristic, callback, context};
    {
        std::lock_guard lock(strap().mutex);
        strap().registrations.push_back(entry);
    }
    *handle = entry;
    say("registered");
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTUnregisterEvent(EventHandle handle, ULONG) {
    Strap& s = strap();
    {
        std::lock_guard lock(s.mutex); // a callback under way ends first
        const auto found = std::find(s.registrations.begin(), s.registrations.end(),
                                     static_cast<Registration*>(handle));
        if (found == s.registrations.end()) return E_INVALIDARG;
        s.registrations.erase(found);
    }
    delete static_cast<Registration*>(handle);
    say("unregistered");
    return S_OK;
}

} // extern "C"
