// A private system bus with a fake BlueZ on it, for the Bluetooth strap source's tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// Starts a bus of its own and points DBUS_SYSTEM_BUS_ADDRESS at it for this process; then,
// unless `scenario` is empty, the fake BlueZ (tests/bluez/fake_bluez.py) telling `scenario`
// with the RR intervals of `recording`. With `refuseBluez` the bus's policy refuses every
// call to BlueZ, as a system does for a user without the right. With `socket` the bus listens
// there rather than at a path of its own choosing.
class FakeBluez {
  public:
    FakeBluez(const std::string& scenario, const std::string& recording, bool refuseBluez = false,
              const std::string& socket = "");
    ~FakeBluez(); // ends the fake and the bus
    FakeBluez(const FakeBluez&) = delete;
    FakeBluez& operator=(const FakeBluez&) = delete;

    bool ok() const { return ok_; }
    // Waits for the fake to print `event` (ready, discovering, connecting, notifying,
    // stop-notify, disconnected-by-client, dropped, adapter-gone, done); false after `timeout`.
    bool waitFor(const std::string& event, std::chrono::milliseconds timeout);
    // Ends the fake BlueZ without a word, as a crashed or restarted service does.
    void endFake();
    // Every event printed so far, one per line.
    const std::string& events();

  private:
    // Starts a program whose standard output comes to `output`, its errors to `log` if given.
    pid_t spawn(const std::vector<std::string>& argv, int& output, const char* log = nullptr);
    bool readLine(int fd, std::string& line, std::chrono::milliseconds timeout);

    bool ok_ = false;
    std::filesystem::path folder_;
    pid_t bus_ = -1, fake_ = -1;
    int busOutput_ = -1, fakeOutput_ = -1;
    std::string pending_, events_;
};
