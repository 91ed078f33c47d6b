// The system-bus connection over sd-bus: calls with timeouts, BlueZ's signals, stoppable waits.
#include "bluetooth/bluez/bus_connection.hpp"

#include <systemd/sd-bus.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace brix {

namespace {

constexpr const char* kBluez = "org.bluez";

// A malformed message from the bus; caught where the message is read.
struct BadMessage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int check(int result) {
    if (result < 0) throw BadMessage(std::strerror(-result));
    return result;
}

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

std::string readString(sd_bus_message* m, char type) {
    const char* text = nullptr;
    check(sd_bus_message_read_basic(m, type, &text));
    return text != nullptr ? text : "";
}

std::vector<std::string> readStrings(sd_bus_message* m) {
    char** list = nullptr;
    check(sd_bus_message_read_strv(m, &list));
    std::vector<std::string> out;
    for (char** item = list; item != nullptr && *item != nullptr; ++item) {
        out.emplace_back(*item);
        std::free(*item);
    }
    std::free(list);
    return out;
}

BusValue readVariant(sd_bus_message* m) {
    char type = 0;
    const char* contents = nullptr;
    check(sd_bus_message_peek_type(m, &type, &contents));
    if (type != 'v' || contents == nullptr) throw BadMessage("a variant was expected");
    const std::string inner = contents;
    check(sd_bus_message_enter_container(m, 'v', inner.c_str()));
    BusValue value;
    if (inner == "s" || inner == "o") {
        value = readString(m, inner[0]);
    } else if (inner == "b") {
        int flag = 0;
        check(sd_bus_message_read_basic(m, 'b', &flag));
        value = flag != 0;
    } else if (inner == "as") {
        value = readStrings(m);
    } else if (inner == "ay") {
        const void* bytes = nullptr;
        std::size_t size = 0;
        check(sd_bus_message_read_array(m, 'y', &bytes, &size));
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        value = std::vector<std::uint8_t>(first, first + (first != nullptr ? size : 0));
    } else {
        check(sd_bus_message_skip(m, inner.c_str()));
    }
    check(sd_bus_message_exit_container(m));
    return value;
}

BusProperties readProperties(sd_bus_message* m) {
    BusProperties properties;
    check(sd_bus_message_enter_container(m, 'a', "{sv}"));
    while (check(sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const std::string name = readString(m, 's');
        properties[name] = readVariant(m);
        check(sd_bus_message_exit_container(m));
    }
    check(sd_bus_message_exit_container(m));
    return properties;
}

BusInterfaces readInterfaces(sd_bus_message* m) {
    BusInterfaces interfaces;
    check(sd_bus_message_enter_container(m, 'a', "{sa{sv}}"));
    while (check(sd_bus_message_enter_container(m, 'e', "sa{sv}")) > 0) {
        const std::string name = readString(m, 's');
        interfaces[name] = readProperties(m);
        check(sd_bus_message_exit_container(m));
    }
    check(sd_bus_message_exit_container(m));
    return interfaces;
}

BusObjects readObjects(sd_bus_message* m) {
    BusObjects objects;
    check(sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}"));
    while (check(sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}")) > 0) {
        const std::string path = readString(m, 'o');
        objects[path] = readInterfaces(m);
        check(sd_bus_message_exit_container(m));
    }
    check(sd_bus_message_exit_container(m));
    return objects;
}

int queueSignal(sd_bus_message* m, void* userdata, sd_bus_error* /*error*/) {
    auto& queue = static_cast<BusConnection*>(userdata)->signals;
    try {
        BusSignal signal;
        if (sd_bus_message_is_signal(m, "org.freedesktop.DBus.ObjectManager", "InterfacesAdded")) {
            signal.kind = BusSignal::Kind::InterfacesAdded;
            signal.path = readString(m, 'o');
            signal.added = readInterfaces(m);
        } else if (sd_bus_message_is_signal(m, "org.freedesktop.DBus.ObjectManager",
                                            "InterfacesRemoved")) {
            signal.kind = BusSignal::Kind::InterfacesRemoved;
            signal.path = readString(m, 'o');
            signal.removed = readStrings(m);
        } else if (sd_bus_message_is_signal(m, "org.freedesktop.DBus.Properties",
                                            "PropertiesChanged")) {
            signal.kind = BusSignal::Kind::PropertiesChanged;
            const char* path = sd_bus_message_get_path(m);
            signal.path = path != nullptr ? path : "";
            signal.interface = readString(m, 's');
            signal.changed = readProperties(m);
        } else {
            return 0;
        }
        queue.push_back(std::move(signal));
    } catch (const BadMessage&) {
        // A signal we cannot read is dropped; the next call or signal tells the state again.
    }
    return 0;
}

struct ReplySlot {
    bool done = false;
    BusReply* reply = nullptr;
    MessagePtr message;
};

int storeReply(sd_bus_message* m, void* userdata, sd_bus_error* /*error*/) {
    auto& slot = *static_cast<ReplySlot*>(userdata);
    slot.done = true;
    if (sd_bus_message_is_method_error(m, nullptr)) {
        const sd_bus_error* error = sd_bus_message_get_error(m);
        slot.reply->ok = false;
        slot.reply->errorName = error != nullptr && error->name != nullptr ? error->name : "";
        slot.reply->errorMessage =
            error != nullptr && error->message != nullptr ? error->message : "";
    } else {
        slot.reply->ok = true;
        slot.message.reset(sd_bus_message_ref(m));
    }
    return 1;
}

int msUntil(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return -1;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 60'000));
}

} // namespace

BusConnection::BusConnection(int wakeFd, const std::atomic<bool>& stopping)
    : wakeFd_(wakeFd), stopping_(stopping) {}

BusConnection::~BusConnection() {
    if (bus_ == nullptr) return;
    // Hand the last calls to the bus, but never hold up a close for a wedged bus.
    const auto until = Clock::now() + std::chrono::milliseconds(50);
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
    while (!broken_ && sd_bus_get_events(bus_) > 0 && (sd_bus_get_events(bus_) & POLLOUT) != 0 &&
           Clock::now() < until) {
        pollfd fd{sd_bus_get_fd(bus_), POLLOUT, 0};
        if (poll(&fd, 1, msUntil(until)) <= 0) break;
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
    }
    sd_bus_message_unref(lastReply_);
    sd_bus_slot_unref(match_);
    sd_bus_close_unref(bus_);
}

bool BusConnection::open(std::string& error) {
    const int result = sd_bus_open_system(&bus_);
    if (result < 0) {
        bus_ = nullptr;
        error = std::strerror(-result);
        return false;
    }
    const int matched = sd_bus_add_match_async(bus_, &match_, "type='signal',sender='org.bluez'",
                                               queueSignal, nullptr, this);
    if (matched < 0) {
        error = std::strerror(-matched);
        return false;
    }
    return true;
}

bool BusConnection::pump(Clock::time_point deadline) {
    // What is already read is handled first; a poll now could wait for an answer that
    // this very processing has just delivered.
    bool handled = false;
    int processed = 0;
    while (!broken_ && (processed = sd_bus_process(bus_, nullptr)) > 0)
        handled = true;
    if (processed < 0) broken_ = true; // the bus itself went away: only a stop ends a wait now
    if (stopping_.load()) return false;
    if (handled) return true;
    if (broken_) {
        pollfd wake{wakeFd_, POLLIN, 0};
        poll(&wake, 1, msUntil(deadline));
        return !stopping_.load();
    }
    // sd-bus's own next timeout (a call's deadline) counts too: it is CLOCK_MONOTONIC, as
    // steady_clock is on Linux.
    std::uint64_t busTimeout = UINT64_MAX;
    if (sd_bus_get_timeout(bus_, &busTimeout) >= 0 && busTimeout != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t nowUs = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
                                    static_cast<std::uint64_t>(now.tv_nsec) / 1000;
        const auto left = std::chrono::microseconds(busTimeout > nowUs ? busTimeout - nowUs : 0);
        deadline = std::min(deadline, Clock::now() + left);
    }
    const int fd = sd_bus_get_fd(bus_);
    const int events = sd_bus_get_events(bus_);
    pollfd fds[2] = {{fd, static_cast<short>(events), 0}, {wakeFd_, POLLIN, 0}};
    if (fd < 0 || events < 0) {
        broken_ = true;
        fds[0].fd = -1; // poll skips it
    }
    if (poll(fds, 2, msUntil(deadline)) < 0 && errno != EINTR) return !stopping_.load();
    while (!broken_ && (processed = sd_bus_process(bus_, nullptr)) > 0) {
    }
    // A hung-up socket stays readable for ever: without this, waits would spin.
    if (processed < 0 || (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) broken_ = true;
    return !stopping_.load();
}

bool BusConnection::wait(Clock::time_point deadline) {
    while (signals.empty()) {
        if (!pump(deadline)) return false;
        if (Clock::now() >= deadline) break;
    }
    return !stopping_.load();
}

bool BusConnection::call(const std::string& path, const char* interface, const char* member,
                         const Arguments& arguments, std::chrono::milliseconds timeout,
                         BusReply& reply) {
    reply = BusReply{};
    if (broken_) {
        reply.errorName = "org.freedesktop.DBus.Error.Disconnected";
        reply.errorMessage = "the system bus went away";
        return !stopping_.load();
    }
    ReplySlot slot;
    slot.reply = &reply;
    sd_bus_message* raw = nullptr;
    int result =
        sd_bus_message_new_method_call(bus_, &raw, kBluez, path.c_str(), interface, member);
    MessagePtr message(raw);
    if (result >= 0 && arguments) result = arguments(raw);
    sd_bus_slot* pending = nullptr;
    if (result >= 0) {
        result = sd_bus_call_async(bus_, &pending, raw, storeReply, &slot,
                                   static_cast<std::uint64_t>(timeout.count()) * 1000);
    }
    if (result < 0) {
        reply.errorName = "local";
        reply.errorMessage = std::strerror(-result);
        return !stopping_.load();
    }
    while (!slot.done && !broken_) {
        if (!pump(Clock::time_point::max())) {
            sd_bus_slot_unref(pending); // the answer, if it ever comes, is dropped
            return false;
        }
    }
    sd_bus_slot_unref(pending);
    if (!slot.done) {
        reply.errorName = "org.freedesktop.DBus.Error.Disconnected";
        reply.errorMessage = "the system bus went away";
    }
    sd_bus_message_unref(lastReply_);
    lastReply_ = slot.message.release();
    return true;
}

bool BusConnection::managedObjects(BusObjects& objects, BusReply& reply) {
    objects.clear();
    if (!call("/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr,
              std::chrono::seconds(5), reply)) {
        return false;
    }
    if (reply.ok) {
        try {
            objects = readObjects(lastReply_);
        } catch (const BadMessage& bad) {
            reply.ok = false;
            reply.errorName = "local";
            reply.errorMessage = std::string("unreadable object list: ") + bad.what();
        }
    }
    return true;
}

void BusConnection::send(const std::string& path, const char* interface, const char* member,
                         const Arguments& arguments) {
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus_, &raw, kBluez, path.c_str(), interface, member) < 0)
        return;
    MessagePtr message(raw);
    if (arguments && arguments(raw) < 0) return;
    sd_bus_message_set_expect_reply(raw, 0);
    sd_bus_send(bus_, raw, nullptr);
}

} // namespace brix
