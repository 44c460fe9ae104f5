// The demo program as a whole: its WinMain over the SDL window stand-ins (dummy video driver)
// and a recording DirectDraw, on the bundled scene. Space and then Escape are pressed from
// inside the third flip, so the run is exactly three frames long.
#include "app/demo.h"
#include "loader/chunk_reader.h"
#include "platform/sdl/sdl_platform.h"
#include "platform/sdl/sdl_session.h"
#include "platform/win32_api.h"
#include "tests/recording_ddraw.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

// Every C++ allocation of the process is counted, so a test can see what a frame allocates.
// The replacements are malloc and free underneath, which GCC's pairing check cannot know.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<std::uint64_t> g_allocations{0};
}

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

using Calls = std::vector<std::string>;

const fs::path kBundledScene = fs::path(KALV_SOURCE_DIR) / "assets/object.3ds";

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

void press(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

// Standard error of this process goes to a file while it lives; text() reads what was written.
class CapturedStderr {
  public:
    CapturedStderr() {
        std::fflush(stderr);
        saved_ = dup(2);
        std::FILE* file = std::fopen(path_.c_str(), "w+");
        if (file != nullptr) {
            dup2(fileno(file), 2);
            std::fclose(file);
        }
    }
    ~CapturedStderr() { restore(); }
    std::string text() {
        restore();
        return read_bytes(path_);
    }

  private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    fs::path path_ = fs::current_path() / "stderr.txt";
    int saved_ = -1;
};

// The demo's first frame of object.3ds in the current folder, computed in this process (empty
// when the scene does not load or start).
std::vector<std::uint32_t> first_demo_frame() {
    std::string error;
    std::unique_ptr<Scene> scene = load_scene("object.3ds", error);
    DemoState demo;
    if (!scene || !demo_start(demo, *scene)) return {};
    demo_frame(demo);
    return demo.frame_buffer;
}

// Runs WinMain until three frames have been flipped, then presses Escape; returns the status.
int run_three_frames() {
    int flips = 0;
    recording().after_call = [&](const std::string& call) {
        if (starts_with(call, "primary.Flip") && ++flips == 3) press(SDLK_ESCAPE);
    };
    char command_line[] = "";
    const int status = WinMain(nullptr, nullptr, command_line, SW_SHOWDEFAULT);
    recording().after_call = nullptr;
    return status;
}

class DemoProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "kalv_program_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::current_path(folder_);
        recording_reset();
    }
    void TearDown() override {
        recording().after_call = nullptr;
        platform_shutdown();
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path previous_;
    fs::path folder_;
};

TEST_F(DemoProgramTest, ThreeFramesThenSpaceAndEscapeReleasesEverythingAndEndsWithZero) {
    if (!fs::exists(kBundledScene)) GTEST_SKIP() << "no bundled scene at " << kBundledScene;
    fs::copy_file(kBundledScene, "object.3ds");

    // Rows padded as real hardware may pad them: the program must copy row by row.
    recording().extra_pitch = 64;
    const std::size_t row_bytes = std::size_t(kWidth) * 4;
    const std::size_t pitch = row_bytes + 64;

    // Allocation count at the end of every call, and the first presented surface's bytes, both
    // in storage reserved up front so that recording them allocates nothing.
    recording().calls.reserve(4096);
    std::vector<std::uint64_t> marks;
    marks.reserve(4096);
    std::vector<unsigned char> first_frame;
    first_frame.reserve(pitch * std::size_t(kHeight));
    int flips = 0;
    int flips_with_cursor_shown = 0;
    recording().after_call = [&](const std::string& call) {
        marks.push_back(g_allocations.load());
        if (first_frame.empty() && call == "two.Unlock(null)") {
            RecordingSurfaceView view = recording_view("two");
            const auto* bytes = static_cast<const unsigned char*>(view.pixels);
            first_frame.assign(bytes, bytes + pitch * std::size_t(kHeight));
        }
        if (!starts_with(call, "primary.Flip")) return;
        if (SDL_ShowCursor(SDL_QUERY) != SDL_DISABLE) ++flips_with_cursor_shown;
        // Another key just before Escape: a key handled like a tick would draw a fourth frame.
        if (++flips == 3) {
            press(SDLK_SPACE);
            press(SDLK_ESCAPE);
        }
    };

    char command_line[] = "";
    int status = WinMain(nullptr, nullptr, command_line, SW_SHOWDEFAULT);
    recording().after_call = nullptr;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(flips_with_cursor_shown, 0) << "the cursor must be hidden while frames are shown";
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE) << "the cursor must be shown again at the end";

    // Set-up, three frames from the surfaces in turn (lpDDSTwo first), then the release.
    const Calls& calls = recording().calls;
    ASSERT_EQ(calls.size(), 7u + 3u * 4u + 4u);
    EXPECT_TRUE(starts_with(calls[0], "DirectDrawCreateEx("));
    EXPECT_TRUE(starts_with(calls[6], "dd.CreateSurface("));
    const char* order[] = {"two", "one", "two"};
    for (std::size_t frame = 0; frame < 3; ++frame) {
        const std::string surface = order[frame];
        Calls expected = {
            surface + ".Lock(null, size=" + std::to_string(sizeof(DDSURFACEDESC2)) + ", 0x0, null)",
            surface + ".Unlock(null)", "back.BltFast(0, 0, " + surface + ", {0 0 512 384}, 0x0)",
            "primary.Flip(null, 0x0)"};
        Calls got(calls.begin() + 7 + std::ptrdiff_t(frame) * 4,
                  calls.begin() + 7 + std::ptrdiff_t(frame + 1) * 4);
        EXPECT_EQ(got, expected) << "frame " << frame + 1;
    }
    EXPECT_EQ(Calls(calls.end() - 4, calls.end()),
              (Calls{"primary.Release()", "one.Release()", "two.Release()", "dd.Release()"}));
    EXPECT_EQ(recording().live_surfaces, 0);
    EXPECT_EQ(recording().live_devices, 0);

    std::string log = read_bytes("DirectX.log");
    EXPECT_EQ(log.substr(0, 39), "__________Direct Draw - Log__________\r\n");
    EXPECT_EQ(log.substr(log.size() - 48), "CreateSurface(&ddsd, &lpDDSTwo, NULL);\r\n    OK\r\n");

    // The first frame allocates no more than the second: from the end of the set-up to the
    // first lock happens what happens from the first flip to the second lock.
    ASSERT_EQ(marks.size(), calls.size());
    const std::uint64_t before_first_frame = marks[7] - marks[6];
    const std::uint64_t before_second_frame = marks[11] - marks[10];
    EXPECT_EQ(before_first_frame, before_second_frame)
        << "the first frame allocated what start-up should have";

    // The first presented surface holds the demo's first frame, row by row, padding untouched.
    const std::vector<std::uint32_t> expected = first_demo_frame();
    ASSERT_EQ(expected.size(), std::size_t(kWidth) * std::size_t(kHeight));
    ASSERT_EQ(first_frame.size(), pitch * std::size_t(kHeight));
    std::size_t lit = 0;
    for (std::size_t row = 0; row < std::size_t(kHeight); ++row) {
        const unsigned char* line = first_frame.data() + row * pitch;
        ASSERT_EQ(std::memcmp(line, expected.data() + row * std::size_t(kWidth), row_bytes), 0)
            << "row " << row;
        for (std::size_t pad = row_bytes; pad < pitch; ++pad)
            ASSERT_EQ(line[pad], 0) << "padding of row " << row;
    }
    for (std::uint32_t pixel : expected)
        lit += pixel != 0 ? 1 : 0;
    EXPECT_GT(lit, 1000u) << "the bundled scene should fill part of the frame";
}

// A real file modelled at its own scale is a speck in the demo: the program says so once on
// standard error, with the pixels its first frame covers, and runs as it always does. The
// bundled scene fills the view and gets no hint.
TEST_F(DemoProgramTest, ASpeckOfASceneGetsOneHintOnStandardErrorAndRunsAsEver) {
    const fs::path horse = "/usr/share/glmark2/models/horse.3ds";
    if (!fs::exists(horse)) GTEST_SKIP() << "no " << horse << " (glmark2-data)";
    fs::copy_file(horse, "object.3ds");
    CapturedStderr captured;
    const int status = run_three_frames();
    const std::string err = captured.text();
    EXPECT_EQ(status, 0);

    const std::vector<std::uint32_t> frame = first_demo_frame();
    ASSERT_FALSE(frame.empty());
    const auto covered =
        std::count_if(frame.begin(), frame.end(), [](std::uint32_t pixel) { return pixel != 0; });
    EXPECT_EQ(err, "kalvorant: warning: the scene covers " + std::to_string(covered) +
                       (covered == 1 ? " pixel" : " pixels") +
                       " in the demo view; --view fit frames it\n");
    EXPECT_EQ(read_bytes("DirectX.log").find("covers"), std::string::npos) << "hint in the log";
}

TEST_F(DemoProgramTest, TheBundledSceneGetsNoHint) {
    if (!fs::exists(kBundledScene)) GTEST_SKIP() << "no bundled scene at " << kBundledScene;
    fs::copy_file(kBundledScene, "object.3ds");
    CapturedStderr captured;
    EXPECT_EQ(run_three_frames(), 0);
    EXPECT_EQ(captured.text(), "");
}

} // namespace
