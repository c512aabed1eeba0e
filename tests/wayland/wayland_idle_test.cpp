// The collector's idle time on a headless sway: counted by the compositor from the
// last input (here, none but a pointer moved by a sway command), not by the X server.
//
//   wayland_idle_test SWAY [gtest options]
#include "platform/input_idle.h"
#include "sway_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

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

TEST(WaylandIdle, CountedByTheCompositorFromTheLastInput) {
    const Clock::time_point watched = Clock::now();
    EXPECT_EQ(platform::inputIdleMilliseconds(), std::optional<std::int64_t>(0));

    // No input since the watch began: idle since then.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const std::optional<std::int64_t> away = platform::inputIdleMilliseconds();
    ASSERT_TRUE(away.has_value());
    EXPECT_GE(*away, 2000);
    EXPECT_LE(*away, msSince(watched));

    // Input ends it, and the count starts again from there.
    ASSERT_TRUE(sway->command("seat seat0 cursor move 5 5"));
    const Clock::time_point moved = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(platform::inputIdleMilliseconds(), std::optional<std::int64_t>(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(1700));
    const std::optional<std::int64_t> again = platform::inputIdleMilliseconds();
    ASSERT_TRUE(again.has_value());
    EXPECT_GE(*again, 1500);
    EXPECT_LE(*again, msSince(moved) + 50);
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SWAY [gtest options]\n", argv[0]);
        return 2;
    }
    swayPath = argv[1];
    testing::AddGlobalTestEnvironment(new HeadlessSway);
    return RUN_ALL_TESTS();
}
