// The collector's idle time on a headless sway: counted by the compositor from the
// last input (here, none but a pointer moved by a sway command), not by the X server.
// A compositor with no idle protocol is asked once, not at every sample.
//
//   wayland_idle_test SWAY [gtest options]
//   wayland_idle_test --ask-idle N   (the idle time asked N times, a line each)
#include "platform/desktop_probe.h"
#include "platform/input_idle.h"
#include "sway_session.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace wayland_test;
using Clock = std::chrono::steady_clock;

std::string swayPath;
Sway* sway = nullptr;

class HeadlessSway : public testing::Environment {
  public:
    void SetUp() override {
        sway = &session_;
        ASSERT_EQ(session_.start(swayPath), "");
        // The X server is XWayland's, which sees no input at all here: an answer
        // from it would be the wrong one.
        for (const auto& [name, value] : session_.clientEnvironment()) {
            setenv(name.c_str(), value->c_str(), 1);
        }
    }
    void TearDown() override { session_.stop(); }

  private:
    Sway session_;
};

std::int64_t msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The idle time once it meets CONDITION, asked every few milliseconds: the compositor's
// events come when they come, the slower the busier the machine.
std::optional<std::int64_t> idleOnce(bool (*condition)(std::int64_t)) {
    const Clock::time_point asked = Clock::now();
    for (;;) {
        const std::optional<std::int64_t> idle = platform::inputIdleMilliseconds();
        if (!idle || condition(*idle) || msSince(asked) > 30'000) {
            return idle;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool isBusy(std::int64_t idle) {
    return idle == 0;
}
bool isIdle(std::int64_t idle) {
    return idle > 0;
}

// Every bound here is exact, whatever the machine's load: the compositor counts from an
// input it takes after the test's clock was read, and says so a second later at the
// earliest, which the collector takes as a second since the input.
TEST(WaylandIdle, CountedByTheCompositorFromTheLastInput) {
    const Clock::time_point watched = Clock::now();
    EXPECT_EQ(platform::inputIdleMilliseconds(), std::optional<std::int64_t>(0));

    // No input since the watch began: idle since then, and on.
    const std::optional<std::int64_t> away = idleOnce(isIdle);
    ASSERT_TRUE(away.has_value());
    EXPECT_GE(*away, 1000);
    EXPECT_LE(*away, msSince(watched));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::optional<std::int64_t> later = platform::inputIdleMilliseconds();
    ASSERT_TRUE(later.has_value());
    EXPECT_GE(*later, *away + 199);
    EXPECT_LE(*later, msSince(watched));

    // Input ends it, and the count starts again from there. The clock is read before
    // the input is sent: sway takes it, then answers, in its own time.
    const Clock::time_point moving = Clock::now();
    ASSERT_TRUE(sway->command("seat seat0 cursor move 5 5"));
    EXPECT_EQ(idleOnce(isBusy), std::optional<std::int64_t>(0));
    const std::optional<std::int64_t> again = idleOnce(isIdle);
    ASSERT_TRUE(again.has_value());
    EXPECT_GE(*again, 1000);
    EXPECT_LE(*again, msSince(moving));
}

// A compositor that, like GNOME Shell, lists a seat and no idle protocol. It counts
// its connections and keeps each open, as a compositor does while its client runs.
class CompositorWithoutIdle {
  public:
    explicit CompositorWithoutIdle(const fs::path& socketPath) {
        listener_ = listenOn(socketPath);
        thread_ = std::thread([this] { serve(); });
    }
    ~CompositorWithoutIdle() {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        for (const int client : held_) {
            close(client);
        }
        close(listener_);
    }
    CompositorWithoutIdle(const CompositorWithoutIdle&) = delete;
    CompositorWithoutIdle& operator=(const CompositorWithoutIdle&) = delete;
    int connections() const { return connections_; }

  private:
    // Each client's get_registry (new id 2) and sync (new id 3) read; the registry's
    // one global, wl_seat, and the sync's done sent; whatever follows left unread.
    void serve() {
        for (;;) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                return;
            }
            ++connections_;
            held_.push_back(client);
            char requests[24];
            [[maybe_unused]] const ssize_t got =
                recv(client, requests, sizeof requests, MSG_WAITALL);
            const std::uint32_t global[] = {2, 28u << 16, 1, 8, 0, 0, 7};
            std::vector<char> events(sizeof global);
            std::memcpy(events.data(), global, sizeof global);
            std::memcpy(events.data() + 16, "wl_seat", 8);
            const std::uint32_t done[] = {3, 12u << 16, 0};
            events.insert(events.end(), reinterpret_cast<const char*>(done),
                          reinterpret_cast<const char*>(done) + sizeof done);
            // A client may have left without a word (the collector's probe does).
            [[maybe_unused]] const ssize_t sent =
                send(client, events.data(), events.size(), MSG_NOSIGNAL);
        }
    }
    int listener_ = -1;
    std::thread thread_;
    std::vector<int> held_;
    std::atomic<int> connections_ = 0;
};

// Asked at every sample, as the collector does: the same answer, from one connection.
TEST(WaylandIdle, ACompositorWithoutAnIdleProtocolIsAskedOnce) {
    const Scratch runtime;
    const CompositorWithoutIdle compositor(runtime.path() / "wayland-0");
    // A process of its own: this one's watch is on sway.
    const Result result = run("/proc/self/exe", {"--ask-idle", "5"},
                              {{"XDG_RUNTIME_DIR", runtime.path().string()},
                               {"WAYLAND_DISPLAY", "wayland-0"},
                               {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
                               {"DISPLAY", std::nullopt}});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "unknown\nunknown\nunknown\nunknown\nunknown\n");
    EXPECT_EQ(compositor.connections(), 1);
}

// The collector's line at its start names the compositor and where idle time comes
// from: sway and its idle protocol; a compositor without one, by its process.
TEST(WaylandIdle, TheCollectorNamesTheCompositorAndTheIdleTimesSource) {
    const platform::DesktopProbe onSway = platform::probeDesktop();
    EXPECT_TRUE(onSway.found);
    EXPECT_EQ(onSway.desktop,
              "sway (WAYLAND_DISPLAY=" + std::string(std::getenv("WAYLAND_DISPLAY")) + ")");
    EXPECT_TRUE(onSway.idleSource == "the compositor (ext_idle_notifier_v1)" ||
                onSway.idleSource == "the compositor (org_kde_kwin_idle)")
        << onSway.idleSource;

    const Scratch runtime;
    const CompositorWithoutIdle compositor(runtime.path() / "wayland-0");
    const Result result = run("/proc/self/exe", {"--probe"},
                              {{"XDG_RUNTIME_DIR", runtime.path().string()},
                               {"WAYLAND_DISPLAY", "wayland-0"},
                               {"SWAYSOCK", std::nullopt},
                               {"DISPLAY", std::nullopt}});
    EXPECT_EQ(result.status, 0);
    // The stand-in compositor is this program, by the name the system keeps (15 bytes).
    EXPECT_EQ(result.out,
              "found: the Wayland compositor wayland_idle_te (WAYLAND_DISPLAY=wayland-0)\n"
              "idle time: unknown: the compositor offers no idle protocol\n");
}

// What the collector's start line says of the desktop, a line each.
int probe() {
    const platform::DesktopProbe seen = platform::probeDesktop();
    std::printf("%s: %s\nidle time: %s\n", seen.found ? "found" : "none", seen.desktop.c_str(),
                seen.idleSource.c_str());
    return 0;
}

// The idle time asked COUNT times, as the collector asks it at its samples.
int askIdle(int count) {
    for (int i = 0; i < count; ++i) {
        const std::optional<std::int64_t> idle = platform::inputIdleMilliseconds();
        std::printf("%s\n", idle ? std::to_string(*idle).c_str() : "unknown");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--ask-idle") == 0) {
        return askIdle(std::atoi(argv[2]));
    }
    if (argc == 2 && std::strcmp(argv[1], "--probe") == 0) {
        return probe();
    }
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SWAY [gtest options]\n", argv[0]);
        return 2;
    }
    swayPath = argv[1];
    testing::AddGlobalTestEnvironment(new HeadlessSway);
    return RUN_ALL_TESTS();
}
