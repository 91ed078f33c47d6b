// A system-bus connection for one thread, for talking to BlueZ; every wait ends at a stop.
#pragma once

#include "link/sensor_source.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

namespace brix {

// A property value as far as the link reads them; other types are only known to be there.
using BusValue = std::variant<std::monostate, std::string, bool, std::vector<std::string>,
                              std::vector<std::uint8_t>>;
using BusProperties = std::map<std::string, BusValue>;
using BusInterfaces = std::map<std::string, BusProperties>; // interface name -> properties
using BusObjects = std::map<std::string, BusInterfaces>;    // object path -> interfaces

// One signal from BlueZ, read at once so the queue holds no bus messages.
struct BusSignal {
    enum class Kind { InterfacesAdded, InterfacesRemoved, PropertiesChanged };
    Kind kind = Kind::PropertiesChanged;
    std::string path;                 // the object concerned
    BusInterfaces added;              // InterfacesAdded
    std::vector<std::string> removed; // InterfacesRemoved: interface names
    std::string interface;            // PropertiesChanged: whose properties
    BusProperties changed;            // PropertiesChanged
};

struct BusReply {
    bool ok = false;
    std::string errorName; // e.g. org.freedesktop.DBus.Error.ServiceUnknown
    std::string errorMessage;
};

// Not thread-safe: created, used and destroyed on the source's own thread.
class BusConnection {
  public:
    using Arguments = std::function<int(sd_bus_message*)>; // appends a call's arguments

    // `wakeFd` becomes readable and `stopping` true when the owner wants the thread back.
    BusConnection(int wakeFd, const std::atomic<bool>& stopping);
    ~BusConnection(); // sends what is queued (for at most 50 ms) and closes
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;

    // Connects to the system bus (DBUS_SYSTEM_BUS_ADDRESS if set) and listens to BlueZ.
    bool open(std::string& error);

    // Calls a BlueZ method and waits for its answer at most `timeout`; false only when a stop
    // cut the wait short. Signals that arrive meanwhile are queued in order.
    bool call(const std::string& path, const char* interface, const char* member,
              const Arguments& arguments, std::chrono::milliseconds timeout, BusReply& reply);
    // The same for GetManagedObjects, read into `objects`.
    bool managedObjects(BusObjects& objects, BusReply& reply);
    // Sends a call without waiting for its answer (for the last words while stopping).
    void send(const std::string& path, const char* interface, const char* member,
              const Arguments& arguments = nullptr);

    // Whether the connection failed (the bus went away); a new one is needed.
    bool broken() const { return broken_; }

    // Waits until a signal is queued or `deadline` passes; false when stopping.
    bool wait(Clock::time_point deadline);
    std::deque<BusSignal> signals;

  private:
    bool pump(Clock::time_point deadline); // one poll and processing; false when stopping

    int wakeFd_;
    const std::atomic<bool>& stopping_;
    sd_bus* bus_ = nullptr;
    sd_bus_slot* match_ = nullptr;
    bool broken_ = false;                 // the connection failed; calls fail at once
    sd_bus_message* lastReply_ = nullptr; // the answer of the last call, for reading
};

} // namespace brix
