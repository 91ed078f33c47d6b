// A stand-in for Windows' BluetoothApis.dll, for the checks under Wine (which has no Bluetooth
// LE): one paired heart-rate strap that plays a recording of RR intervals in real time, with
// the GATT functions' documented behaviour as far as the strap source uses them. The device
// interface the source opens is registered in the Wine prefix by the test (see wine_strap.py).
//
// Chosen by environment variables (paths in Windows form):
//   HALVENT_FAKE_STRAP            story (the default): beats sent every second (give or take a
//                                 quarter) for 15 s, 6 s without skin contact, 8 s, the link
//                                 dropped for 8 s, then on for good; or no-adapter
//   HALVENT_FAKE_STRAP_RECORDING  the intervals, one a line in ms
//   HALVENT_FAKE_STRAP_EVENTS     where one line per event goes: subscribed, unsubscribed,
//                                 registered, unregistered, contact-lost, contact-back,
//                                 dropped, reconnected, done; "rr MS at S" for every interval
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

constexpr USHORT kServiceHandle = 0x0010;
constexpr USHORT kMeasurementHandle = 0x0011; // its value at 0x0012
constexpr USHORT kConfigurationHandle = 0x0013;
constexpr auto kPeriod = 1.0; // s between notifications
constexpr auto kTimeout = 500ms; // a request to an absent strap fails after this

struct Registration {
    EventCallback callback;
    void* context;
};

struct Strap {
    std::mutex mutex; // held while a callback runs: unregistering waits for it
    std::vector<Registration*> registrations;
    bool subscribed = false; // the strap's configuration, kept across links as a bonded one's
    bool linked = true;
    std::FILE* events = nullptr;
    std::vector<double> recording;
    std::string scenario = "story";
    std::atomic<bool> ending{false};
    std::thread player;
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

Characteristic measurementCharacteristic() {
    Characteristic c{};
    c.serviceHandle = kServiceHandle;
    c.characteristicUuid = shortUuid(0x2A37);
    c.attributeHandle = kMeasurementHandle;
    c.characteristicValueHandle = kMeasurementHandle + 1;
    c.isNotifiable = TRUE;
    return c;
}

// A Heart Rate Measurement: flags (contact supported and its state, RR present), 8-bit rate,
// intervals in 1/1024 s.
std::vector<UCHAR> measurement(const std::vector<double>& intervalsMs, bool contact) {
    std::vector<UCHAR> value{static_cast<UCHAR>(0x04 | (contact ? 0x02 : 0) |
                                                (contact ? 0x10 : 0)),
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

// Hands a value to every registration while the link is up and the strap subscribed; true
// when someone got it.
bool notify(const std::vector<UCHAR>& bytes) {
    Strap& s = strap();
    std::lock_guard lock(s.mutex);
    if (!s.linked || !s.subscribed || s.registrations.empty()) return false;
    std::vector<unsigned char> block(offsetof(CharacteristicValue, data) + bytes.size());
    auto* value = reinterpret_cast<CharacteristicValue*>(block.data());
    value->dataSize = static_cast<ULONG>(bytes.size());
    std::memcpy(value->data, bytes.data(), bytes.size());
    ValueChangedEvent event{static_cast<USHORT>(kMeasurementHandle + 1), block.size(), value};
    for (Registration* registration : s.registrations)
        registration->callback(CharacteristicValueChangedEvent, &event, registration->context);
    return true;
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
    const std::string events = environment("HALVENT_FAKE_STRAP_EVENTS", "");
    if (!events.empty()) s.events = std::fopen(events.c_str(), "a");
    std::ifstream in(environment("HALVENT_FAKE_STRAP_RECORDING", ""));
    for (std::string line; std::getline(in, line);) {
        const double ms = std::atof(line.c_str());
        if (ms >= 200 && ms <= 3000) s.recording.push_back(ms); // glitches are no heartbeats
    }
    say("loaded");
    s.player = std::thread(play);
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

EXPORTED BOOL WINAPI BluetoothFindRadioClose(HANDLE find) { return CloseHandle(find); }

EXPORTED HRESULT WINAPI BluetoothGATTGetServices(HANDLE device, USHORT count, Service* buffer,
                                        USHORT* actual, ULONG) {
    if (device == nullptr || device == INVALID_HANDLE_VALUE) return E_HANDLE;
    const HRESULT result = moreData(1, count, actual);
    if (result != S_OK) return result;
    if (buffer == nullptr) return E_INVALIDARG;
    buffer[0] = Service{shortUuid(0x180D), kServiceHandle};
    return S_OK;
}

// Services and their characteristics come from the system's cache: they answer without the
// link, as for any paired device.
EXPORTED HRESULT WINAPI BluetoothGATTGetCharacteristics(HANDLE device, Service* service, USHORT count,
                                               Characteristic* buffer, USHORT* actual, ULONG) {
    if (device == nullptr || service == nullptr) return E_INVALIDARG;
    const HRESULT result = moreData(1, count, actual);
    if (result != S_OK) return result;
    if (buffer == nullptr) return E_INVALIDARG;
    buffer[0] = measurementCharacteristic();
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTGetDescriptors(HANDLE device, Characteristic* characteristic,
                                           USHORT count, Descriptor* buffer, USHORT* actual,
                                           ULONG) {
    if (device == nullptr || characteristic == nullptr) return E_INVALIDARG;
    if (characteristic->attributeHandle != kMeasurementHandle)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    const HRESULT result = moreData(1, count, actual);
    if (result != S_OK) return result;
    if (buffer == nullptr) return E_INVALIDARG;
    Descriptor d{};
    d.serviceHandle = kServiceHandle;
    d.characteristicHandle = kMeasurementHandle;
    d.descriptorType = ClientCharacteristicConfiguration;
    d.descriptorUuid = shortUuid(0x2902);
    d.attributeHandle = kConfigurationHandle;
    buffer[0] = d;
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTGetDescriptorValue(HANDLE device, Descriptor* descriptor, ULONG size,
                                               DescriptorValue* value, USHORT* required,
                                               ULONG flags) {
    if (device == nullptr || descriptor == nullptr) return E_INVALIDARG;
    if (required != nullptr) *required = sizeof(DescriptorValue);
    if (value == nullptr || size < sizeof(DescriptorValue))
        return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    Strap& s = strap();
    bool linked, subscribed;
    {
        std::lock_guard lock(s.mutex);
        linked = s.linked;
        subscribed = s.subscribed;
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
    if (descriptor->attributeHandle != kConfigurationHandle ||
        value->descriptorType != ClientCharacteristicConfiguration)
        return E_INVALIDARG;
    Strap& s = strap();
    const bool on = value->clientCharacteristicConfiguration.isSubscribeToNotification != 0;
    {
        std::lock_guard lock(s.mutex);
        if (!s.linked) return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
        s.subscribed = on;
    }
    say(on ? "subscribed" : "unsubscribed");
    return S_OK;
}

EXPORTED HRESULT WINAPI BluetoothGATTSetCharacteristicValue(HANDLE device, Characteristic*,
                                                   CharacteristicValue*, ReliableWriteContext,
                                                   ULONG) {
    if (device == nullptr) return E_INVALIDARG;
    return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED); // the measurement is not writable
}

EXPORTED HRESULT WINAPI BluetoothGATTRegisterEvent(HANDLE service, EventType type, void* parameter,
                                          EventCallback callback, void* context,
                                          EventHandle* handle, ULONG) {
    if (service == nullptr || type != CharacteristicValueChangedEvent || parameter == nullptr ||
        callback == nullptr || handle == nullptr)
        return E_INVALIDARG;
    const auto* registration = static_cast<const ValueChangedEventRegistration*>(parameter);
    if (registration->numCharacteristics != 1 ||
        registration->characteristics[0].attributeHandle != kMeasurementHandle)
        return E_INVALIDARG;
    auto* entry = new Registration{callback, context};
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
