// The display device against a recording DirectDraw: the set-up's calls, values and log, the
// alternation of the off-screen surfaces, the lock rules and the present retry rules.
#include "display/display.h"
#include "display/log.h"
#include "tests/recording_ddraw.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::string>;

HWND const kWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x5150));
const std::string kDescSize = std::to_string(sizeof(DDSURFACEDESC2));

const Calls kSetUpCalls = {
    "DirectDrawCreateEx(null, IID_IDirectDraw7, null)",
    "dd.SetCooperativeLevel(0x5150, 0x13)",
    "dd.SetDisplayMode(512, 384, 32, 0, 0x1)",
    "dd.CreateSurface(size=" + kDescSize +
        " flags=0x21 caps=0x100218 backbuffers=1 width=0 height=0 rest=0, null)",
    "primary.GetAttachedSurface(caps=0x100004 0x0 0x0 0x0)",
    "dd.CreateSurface(size=" + kDescSize +
        " flags=0x7 caps=0x100840 backbuffers=1 width=512 height=384 rest=0, null)",
    "dd.CreateSurface(size=" + kDescSize +
        " flags=0x7 caps=0x100840 backbuffers=1 width=512 height=384 rest=0, null)",
};

const std::vector<std::string> kSuccessLog = {
    "__________Direct Draw - Log__________",
    "Debug - mode Inactive",
    "DirectDrawCreateEx(NULL, &lpDD, IID_IDirectDraw7, NULL);",
    "    OK",
    "SetCooperativeLevel(EXCLUSIVE | ALLOWREBOOT | FULLSCREEN);",
    "    OK",
    "SetDisplayMode(Width, Height, 32, 0, DDSDM_STANDARDVGAMODE);",
    "    OK",
    "CreateSurface(&ddsd, &lpDDSPrimary, NULL);",
    "    OK",
    "GetAttachedSurface(&ddscaps, &lpDDSBack);",
    "    OK",
    "Creating Offscreen surfaces",
    "CreateSurface(&ddsd, &lpDDSOne, NULL);",
    "    OK",
    "CreateSurface(&ddsd, &lpDDSTwo, NULL);",
    "    OK",
};

std::string joined_lines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

std::string read_log() {
    std::ifstream in("DirectX.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log's last complete line; a marker when the log does not end with a line end.
std::string last_log_line() {
    std::string log = read_log();
    if (log.size() < 2 || log.compare(log.size() - 2, 2, "\r\n") != 0)
        return "(no complete last line in: " + log + ")";
    log.resize(log.size() - 2);
    std::size_t end_of_previous = log.rfind("\r\n");
    return end_of_previous == std::string::npos ? log : log.substr(end_of_previous + 2);
}

// Name of the surface of the most recent Lock call, "" when there was none.
std::string last_locked_surface() {
    const Calls& all = recording().calls;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        auto dot = it->find(".Lock(");
        if (dot != std::string::npos) return it->substr(0, dot);
    }
    return "";
}

std::string other_surface(const std::string& name) {
    return name == "one" ? "two" : "one";
}

// The calls of one presented frame from the given off-screen surface, with no retries.
Calls present_calls(const std::string& surface) {
    return {surface + ".Unlock(null)", "back.BltFast(0, 0, " + surface + ", {0 0 512 384}, 0x0)",
            "primary.Flip(null, 0x0)"};
}

class DisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kalv_display_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::current_path(folder_);
        recording_reset();
    }
    void TearDown() override {
        recording().after_call = nullptr;
        display_release();
        EXPECT_EQ(recording().live_surfaces, 0) << "surfaces left unreleased";
        EXPECT_EQ(recording().live_devices, 0) << "DirectDraw object left unreleased";
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // A successful set-up; the recording is cleared afterwards so checks see only what follows.
    void init_display() {
        ASSERT_EQ(display_init(kWindow, 512, 384), DD_OK);
        recording().calls.clear();
    }

    fs::path previous_;
    fs::path folder_;
};

TEST_F(DisplayTest, SetUpMakesEveryCallInOrderWithTheExactValues) {
    EXPECT_EQ(display_init(kWindow, 512, 384), DD_OK);
    EXPECT_EQ(recording().calls, kSetUpCalls);
}

TEST_F(DisplayTest, SuccessfulSetUpLeavesTheHeaderAndSixteenLines) {
    std::ofstream("DirectX.log", std::ios::binary) << "stale log of an earlier run\r\n";
    ASSERT_EQ(display_init(kWindow, 512, 384), DD_OK);
    EXPECT_EQ(read_log(), joined_lines(kSuccessLog));
}

TEST_F(DisplayTest, SizeGivenToInitShapesModeSurfacesAndBlitRectangle) {
    ASSERT_EQ(display_init(kWindow, 320, 200), DD_OK);
    EXPECT_EQ(recording().calls[2], "dd.SetDisplayMode(320, 200, 32, 0, 0x1)");
    EXPECT_NE(recording().calls[5].find("width=320 height=200"), std::string::npos);
    recording().calls.clear();
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    std::string surface = last_locked_surface();
    display_present();
    EXPECT_EQ(recording().calls[2], "back.BltFast(0, 0, " + surface + ", {0 0 320 200}, 0x0)");
}

// A hang or crash inside a set-up call must leave that step named at the end of the log.
TEST_F(DisplayTest, EachSetUpStepIsLoggedBeforeItsCallIsMade) {
    std::vector<std::string> seen_during_calls;
    recording().after_call = [&](const std::string&) {
        seen_during_calls.push_back(last_log_line());
    };
    ASSERT_EQ(display_init(kWindow, 512, 384), DD_OK);
    recording().after_call = nullptr;
    std::vector<std::string> step_lines;
    for (const auto& line : kSuccessLog)
        if (line.find('(') != std::string::npos) step_lines.push_back(line);
    EXPECT_EQ(seen_during_calls, step_lines);
}

TEST_F(DisplayTest, BlitRectangleIsTheInitSizeOnSurfacesMadeLarger) {
    // A driver may round off-screen surfaces up; only the frame's part of them is blitted.
    recording().offscreen_width = 640;
    recording().offscreen_height = 480;
    init_display();
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    std::string surface = last_locked_surface();
    ASSERT_EQ(recording_view(surface).width, 640u);
    recording().calls.clear();
    display_present();
    EXPECT_EQ(recording().calls, present_calls(surface));
}

TEST_F(DisplayTest, ReleaseGivesUpSurfacesThenTheObjectAndASecondReleaseDoesNothing) {
    init_display();
    display_release();
    EXPECT_EQ(recording().calls,
              (Calls{"primary.Release()", "one.Release()", "two.Release()", "dd.Release()"}));
    display_release();
    EXPECT_EQ(recording().calls.size(), 4u);
}

// One failing step of the set-up.
struct FailingStep {
    const char* key;   // scripted call
    int successes;     // earlier calls with the same key that succeed
    HRESULT code;      // what the failing call returns
    std::size_t calls; // set-up calls made, the failing one included
    Calls released;    // what display_release gives up afterwards
};

class DisplaySetUpFailure : public DisplayTest,
                            public ::testing::WithParamInterface<FailingStep> {};

TEST_P(DisplaySetUpFailure, StopsAtTheStepLogsItsTextAndKeepsWhatExists) {
    const FailingStep& step = GetParam();
    auto& script = recording().scripted[step.key];
    script.assign(static_cast<std::size_t>(step.successes), DD_OK);
    script.push_back(step.code);

    EXPECT_EQ(display_init(kWindow, 512, 384), step.code);
    Calls expected_calls(kSetUpCalls.begin(),
                         kSetUpCalls.begin() + static_cast<std::ptrdiff_t>(step.calls));
    EXPECT_EQ(recording().calls, expected_calls);

    // The log runs up to the failing call's line, which is followed by the Czech text.
    std::vector<std::string> lines;
    std::size_t call_lines = 0;
    for (const auto& line : kSuccessLog) {
        lines.push_back(line);
        if (line.find('(') != std::string::npos && ++call_lines == step.calls) break;
    }
    lines.push_back(dd_error_text(static_cast<std::uint32_t>(step.code)));
    EXPECT_EQ(read_log(), joined_lines(lines));

    // Nothing that was never created is touched, by a frame or by the release.
    recording().calls.clear();
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    EXPECT_EQ(display_lock(&pixels, &pitch), 0);
    EXPECT_EQ(pixels, nullptr);
    display_present();
    EXPECT_NE(display_restore_all(), DD_OK);
    EXPECT_TRUE(recording().calls.empty());
    display_release();
    EXPECT_EQ(recording().calls, step.released);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, DisplaySetUpFailure,
    ::testing::Values(
        FailingStep{"DirectDrawCreateEx", 0, DDERR_NODIRECTDRAWHW, 1, {}},
        FailingStep{"dd.SetCooperativeLevel", 0, DDERR_HWNDALREADYSET, 2, {"dd.Release()"}},
        FailingStep{"dd.SetDisplayMode", 0, DDERR_INVALIDMODE, 3, {"dd.Release()"}},
        FailingStep{"dd.CreateSurface", 0, DDERR_OUTOFVIDEOMEMORY, 4, {"dd.Release()"}},
        FailingStep{"primary.GetAttachedSurface",
                    0,
                    DDERR_NOTFOUND,
                    5,
                    {"primary.Release()", "dd.Release()"}},
        FailingStep{
            "dd.CreateSurface", 1, DDERR_OUTOFMEMORY, 6, {"primary.Release()", "dd.Release()"}},
        FailingStep{"dd.CreateSurface",
                    2,
                    static_cast<HRESULT>(0x88760001u), // a code the table does not know
                    7,
                    {"primary.Release()", "one.Release()", "dd.Release()"}}));

TEST_F(DisplayTest, FailedDisplayModeEndsTheLogWithItsCzechText) {
    recording().scripted["dd.SetDisplayMode"] = {DDERR_INVALIDMODE};
    EXPECT_EQ(display_init(kWindow, 512, 384), DDERR_INVALIDMODE);
    std::string log = read_log();
    const std::string tail = "SetDisplayMode(Width, Height, 32, 0, DDSDM_STANDARDVGAMODE);\r\n"
                             "DirectDraw nepodporuje tento m\xF3"
                             "d !\r\n";
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

TEST_F(DisplayTest, LockHandsOutTheSurfacePixelsAndPitch) {
    recording().extra_pitch = 64; // padded rows, as real hardware may give
    init_display();
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    std::string surface = last_locked_surface();
    EXPECT_EQ(recording().calls, Calls{surface + ".Lock(null, size=" + kDescSize + ", 0x0, null)"});
    RecordingSurfaceView view = recording_view(surface);
    EXPECT_TRUE(view.locked);
    EXPECT_EQ(pixels, view.pixels);
    EXPECT_EQ(pitch, 512 * 4 + 64);
    display_present();
    EXPECT_FALSE(recording_view(surface).locked);
}

// The first frame of a process must come from lpDDSTwo; only a fresh process shows that, so
// it runs in a child that starts the test binary anew.
TEST(DisplayFreshProcess, FirstPresentedFrameComesFromSurfaceTwoThenOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The child's log goes to a folder of its own, removed again before it exits.
            std::string folder = (fs::temp_directory_path() / "kalv_display_XXXXXX").string();
            if (mkdtemp(folder.data()) == nullptr) std::exit(3);
            fs::current_path(folder);
            recording_reset();
            display_init(kWindow, 512, 384);
            std::string order;
            for (int frame = 0; frame < 3; ++frame) {
                void* pixels = nullptr;
                std::ptrdiff_t pitch = 0;
                if (display_lock(&pixels, &pitch) != 1) std::exit(2);
                order += last_locked_surface() + " ";
                display_present();
            }
            display_release();
            std::error_code ignored;
            fs::current_path(fs::temp_directory_path());
            fs::remove_all(folder, ignored);
            std::exit(order == "two one two " ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DisplayTest, FramesAlternateBetweenTheTwoSurfaces) {
    init_display();
    std::string first;
    for (int frame = 0; frame < 4; ++frame) {
        recording().calls.clear();
        void* pixels = nullptr;
        std::ptrdiff_t pitch = 0;
        ASSERT_EQ(display_lock(&pixels, &pitch), 1);
        std::string surface = last_locked_surface();
        if (frame == 0) first = surface;
        EXPECT_EQ(surface, frame % 2 == 0 ? first : other_surface(first)) << "frame " << frame;
        display_present();
        Calls expected = {surface + ".Lock(null, size=" + kDescSize + ", 0x0, null)"};
        for (const auto& call : present_calls(surface))
            expected.push_back(call);
        EXPECT_EQ(recording().calls, expected);
    }
}

TEST_F(DisplayTest, RefusedLockLeavesTheToggleAndTouchesNothingElse) {
    init_display();
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    std::string presented = last_locked_surface();
    display_present();
    std::string next = other_surface(presented);

    recording().calls.clear();
    recording().scripted[next + ".Lock"] = {DDERR_SURFACEBUSY};
    pixels = nullptr;
    pitch = 0;
    EXPECT_EQ(display_lock(&pixels, &pitch), 0);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_EQ(pitch, 0);
    EXPECT_EQ(recording().calls, Calls{next + ".Lock(null, size=" + kDescSize + ", 0x0, null)"});

    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    EXPECT_EQ(last_locked_surface(), next);
}

TEST_F(DisplayTest, SurfaceWithoutThirtyTwoBitsIsUnlockedAndNeverPresented) {
    recording().bits_per_pixel = 16;
    init_display();
    std::string surface;
    for (int tick = 0; tick < 3; ++tick) {
        recording().calls.clear();
        void* pixels = nullptr;
        std::ptrdiff_t pitch = 0;
        EXPECT_EQ(display_lock(&pixels, &pitch), 0);
        EXPECT_EQ(pixels, nullptr);
        if (tick == 0) surface = last_locked_surface();
        EXPECT_EQ(recording().calls,
                  (Calls{surface + ".Lock(null, size=" + kDescSize + ", 0x0, null)",
                         surface + ".Unlock(null)"}));
        EXPECT_FALSE(recording_view(surface).locked);
    }
}

TEST_F(DisplayTest, LockedSurfaceSmallerThanTheFrameIsRefused) {
    // Copying the frame into any of these would run past the surface's rows or its last row,
    // or put the frame's last column into a padded row's padding.
    struct Shape {
        LONG extra_pitch;
        DWORD width;
        DWORD height;
    };
    for (Shape shape : {Shape{-4, 512, 384}, Shape{0, 512, 383}, Shape{64, 511, 384}}) {
        display_release();
        recording_reset();
        recording().extra_pitch = shape.extra_pitch;
        recording().offscreen_width = shape.width;
        recording().offscreen_height = shape.height;
        init_display();
        void* pixels = nullptr;
        std::ptrdiff_t pitch = 0;
        EXPECT_EQ(display_lock(&pixels, &pitch), 0) << shape.width << "x" << shape.height;
        std::string surface = last_locked_surface();
        EXPECT_EQ(recording().calls.back(), surface + ".Unlock(null)");
    }
}

TEST_F(DisplayTest, BusyBlitAndFlipAreRepeatedUntilTheyAnswerOtherwise) {
    init_display();
    recording().scripted["back.BltFast"] = {DDERR_WASSTILLDRAWING, DDERR_WASSTILLDRAWING,
                                            DDERR_WASSTILLDRAWING};
    recording().scripted["primary.Flip"] = {DDERR_WASSTILLDRAWING, DDERR_GENERIC};
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    std::string surface = last_locked_surface();
    recording().calls.clear();
    display_present();
    std::string blit = "back.BltFast(0, 0, " + surface + ", {0 0 512 384}, 0x0)";
    EXPECT_EQ(recording().calls, (Calls{surface + ".Unlock(null)", blit, blit, blit, blit,
                                        "primary.Flip(null, 0x0)", "primary.Flip(null, 0x0)"}));
}

TEST_F(DisplayTest, LostSurfaceDuringBlitRestoresAllOnceAndStillFlips) {
    init_display();
    recording().scripted["back.BltFast"] = {DDERR_SURFACELOST};
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    std::string surface = last_locked_surface();
    recording().calls.clear();
    display_present();
    EXPECT_EQ(
        recording().calls,
        (Calls{surface + ".Unlock(null)", "back.BltFast(0, 0, " + surface + ", {0 0 512 384}, 0x0)",
               "primary.Restore()", "one.Restore()", "two.Restore()", "primary.Flip(null, 0x0)"}));
}

TEST_F(DisplayTest, LostSurfaceDuringFlipRestoresWithoutAnotherFlip) {
    init_display();
    recording().scripted["primary.Flip"] = {DDERR_SURFACELOST, DD_OK};
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    ASSERT_EQ(display_lock(&pixels, &pitch), 1);
    recording().calls.clear();
    display_present();
    Calls tail(recording().calls.end() - 4, recording().calls.end());
    EXPECT_EQ(tail, (Calls{"primary.Flip(null, 0x0)", "primary.Restore()", "one.Restore()",
                           "two.Restore()"}));
}

TEST_F(DisplayTest, RestoreStopsAtTheFirstFailingSurface) {
    init_display();
    recording().scripted["primary.Restore"] = {DDERR_NOEXCLUSIVEMODE};
    EXPECT_EQ(display_restore_all(), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(recording().calls, Calls{"primary.Restore()"});

    recording().calls.clear();
    recording().scripted["one.Restore"] = {DDERR_WRONGMODE};
    EXPECT_EQ(display_restore_all(), DDERR_WRONGMODE);
    EXPECT_EQ(recording().calls, (Calls{"primary.Restore()", "one.Restore()"}));

    recording().calls.clear();
    recording().scripted["two.Restore"] = {DDERR_OUTOFMEMORY};
    EXPECT_EQ(display_restore_all(), DDERR_OUTOFMEMORY);
    EXPECT_EQ(recording().calls, (Calls{"primary.Restore()", "one.Restore()", "two.Restore()"}));
}

TEST_F(DisplayTest, NoFrameOperationAfterRelease) {
    init_display();
    display_release();
    recording().calls.clear();
    void* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    EXPECT_EQ(display_lock(&pixels, &pitch), 0);
    display_present();
    EXPECT_TRUE(recording().calls.empty());
}

} // namespace
