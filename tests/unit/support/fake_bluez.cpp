// Starting and ending the private bus and the fake BlueZ, and reading the fake's events.
#include "fake_bluez.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

void end(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

} // namespace

FakeBluez::FakeBluez(const std::string& scenario, const std::string& recording, bool refuseBluez,
                     const std::string& socket) {
    char pattern[] = "/tmp/halvent-bluez-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    folder_ = pattern;
    std::ifstream in(HALVENT_SOURCE_DIR "/tests/bluez/test-bus.conf");
    std::stringstream config;
    config << in.rdbuf();
    std::string text = config.str();
    // The bus listens in the test's own folder, which the shared file cannot know.
    const std::string listen =
        socket.empty() ? "unix:dir=" + folder_.string() : "unix:path=" + socket;
    text.insert(text.find("<auth>"), "<listen>" + listen + "</listen>\n  ");
    if (refuseBluez) {
        const auto at = text.find("</policy>");
        text.insert(at, "  <deny send_destination=\"org.bluez\"/>\n  ");
    }
    std::ofstream(folder_ / "bus.conf") << text;
    bus_ = spawn({"dbus-daemon", "--nofork", "--print-address",
                  "--config-file=" + (folder_ / "bus.conf").string()},
                 busOutput_, (folder_ / "bus.log").c_str());
    std::string address;
    if (bus_ < 0 || !readLine(busOutput_, address, std::chrono::seconds(5))) return;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    if (!scenario.empty()) {
        fake_ = spawn({"/usr/bin/python3", HALVENT_SOURCE_DIR "/tests/bluez/fake_bluez.py",
                       scenario, recording},
                      fakeOutput_);
        if (fake_ < 0 || !waitFor("ready", std::chrono::seconds(10))) return;
    }
    ok_ = true;
}

FakeBluez::~FakeBluez() {
    end(fake_);
    end(bus_);
    for (const int fd : {busOutput_, fakeOutput_})
        if (fd >= 0) close(fd);
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

pid_t FakeBluez::spawn(const std::vector<std::string>& argv, int& output, const char* log) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (log != nullptr)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log, O_WRONLY | O_CREAT, 0644);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    output = fds[0];
    return pid;
}

bool FakeBluez::readLine(int fd, std::string& line, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    for (;;) {
        const auto newline = pending_.find('\n');
        if (newline != std::string::npos) {
            line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left < 0) return false;
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left)) <= 0) {
            if (left == 0) return false;
            continue;
        }
        char buffer[256];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

bool FakeBluez::waitFor(const std::string& event, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    std::string line;
    while (Clock::now() < until) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (!readLine(fakeOutput_, line, left)) return false;
        events_ += line + "\n";
        if (line == event) return true;
    }
    return false;
}

const std::string& FakeBluez::events() {
    std::string line;
    while (fakeOutput_ >= 0 && readLine(fakeOutput_, line, std::chrono::milliseconds(0)))
        events_ += line + "\n";
    return events_;
}

void FakeBluez::endFake() {
    if (fake_ > 0) kill(fake_, SIGKILL);
    end(fake_);
}
