// The two tools run as separate processes, as a user runs them: their exit status, their one-line
// errors, and their files, which must hold exactly the frames the demo computes in-process.
#include "app/demo.h"
#include "loader/chunk_reader.h"
#include "tools_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

using tools_test::run_program;

namespace {

const std::string kInfo = KALV_INFO_TOOL;
const std::string kRender = KALV_RENDER_TOOL;
const std::string kAsset = std::string(KALV_SOURCE_DIR) + "/assets/object.3ds";

size_t line_count(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Writes the first `size` bytes of the bundled scene: a file cut short inside a chunk.
std::string truncated_asset(const std::string& dir, size_t size) {
    std::ifstream in(kAsset, std::ios::binary);
    std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
    bytes.resize(std::min(bytes.size(), size));
    const std::string path = dir + "/cut.3ds";
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// A main chunk holding one chunk of length 0, which would never end a naive walk.
std::string zero_length_chunk(const std::string& dir) {
    const unsigned char bytes[] = {0x4D, 0x4D, 12, 0, 0, 0, 0x3D, 0x3D, 0, 0, 0, 0};
    const std::string path = dir + "/zero.3ds";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    return path;
}

std::string write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// The frames the demo shows, computed in this process.
std::vector<std::vector<uint32_t>> demo_frames(int count) {
    std::string error;
    auto scene = load_scene(kAsset, error);
    EXPECT_TRUE(scene) << error;
    std::vector<std::vector<uint32_t>> frames;
    if (!scene) return frames;
    DemoState demo;
    EXPECT_TRUE(demo_start(demo, *scene));
    for (int i = 0; i < count; ++i) {
        demo_frame(demo);
        frames.push_back(demo.frame_buffer);
    }
    return frames;
}

void expect_one_line_failure(const tools_test::RunResult& r, const std::string& prefix) {
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(line_count(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

} // namespace

TEST(ToolsBadInput, MissingAndCorruptScenesFailWithOneLineNamingTheFile) {
    const std::string dir = tools_test::scratch_dir("cli_bad");
    const std::string missing = dir + "/nothing-here.3ds";
    const std::string cut = truncated_asset(dir, 1000);
    const std::string zero = zero_length_chunk(dir);
    for (const std::string& scene : {missing, cut, zero}) {
        SCOPED_TRACE(scene);
        auto r = run_program({kInfo, scene});
        expect_one_line_failure(r, "kalvorant-info: " + scene + ": ");
        EXPECT_GT(r.err.size(), ("kalvorant-info: " + scene + ": x\n").size()) << "no reason";
        r = run_program({kInfo, scene, "--json"});
        expect_one_line_failure(r, "kalvorant-info: " + scene + ": ");
        r = run_program({kRender, scene, "--out", dir + "/frames"});
        expect_one_line_failure(r, "kalvorant-render: " + scene + ": ");
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/frames")) << "output made for a failed load";
    std::filesystem::remove_all(dir);
}

// Files that are no 3DS file: a failure gains a hint, and a file that loads with nothing to draw
// is still a success but says so on standard error.
TEST(ToolsBadInput, FilesThatAreNo3dsSceneAreNamedAsSuch) {
    const std::string hint = "(this does not look like a 3DS file: it does not start with the "
                             "main chunk 0x4D4D)";
    const std::string dir = tools_test::scratch_dir("cli_not3ds");
    const std::string obj = write_bytes(dir + "/cube.obj", "# Blender v2.8 OBJ File\nv 1 1 1\n");
    auto r = run_program({kInfo, obj});
    expect_one_line_failure(r, "kalvorant-info: " + obj + ": ");
    EXPECT_NE(r.err.find(hint), std::string::npos) << r.err;
    r = run_program({kRender, obj, "--out", dir + "/frames"});
    expect_one_line_failure(r, "kalvorant-render: " + obj + ": ");
    EXPECT_NE(r.err.find(hint), std::string::npos) << r.err;

    // A real 3DS file that fails keeps its reason without the hint.
    r = run_program({kInfo, truncated_asset(dir, 1000)});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err.find("does not look like"), std::string::npos) << r.err;

    // No faces: an empty file and one lone unknown chunk load as empty scenes (with the hint),
    // a main chunk holding nothing loads as one without it.
    const std::string empty = write_bytes(dir + "/empty.3ds", "");
    const std::string stray = write_bytes(dir + "/stray.3ds", std::string("\x34\x12\x06\0\0\0", 6));
    const std::string bare = write_bytes(dir + "/bare.3ds", std::string("\x4D\x4D\x06\0\0\0", 6));
    for (const std::string& scene : {empty, stray, bare}) {
        SCOPED_TRACE(scene);
        r = run_program({kInfo, scene});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(line_count(r.err), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("kalvorant-info: warning: " + scene + " holds no faces", 0), 0u)
            << r.err;
        EXPECT_EQ(r.err.find(hint) != std::string::npos, scene != bare) << r.err;
        EXPECT_NE(r.out.find("meshes: 0"), std::string::npos) << r.out;
        r = run_program({kRender, scene, "--quiet", "--out", dir + "/frames"});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err.rfind("kalvorant-render: warning: " + scene + " holds no faces", 0), 0u)
            << r.err;
        EXPECT_EQ(line_count(r.err), 1u) << r.err;
    }
    r = run_program({kInfo, kAsset});
    EXPECT_TRUE(r.err.empty()) << r.err;
    std::filesystem::remove_all(dir);
}

TEST(ToolsBadInput, BadArgumentsExitTwoWithTheUsageLine) {
    const std::vector<std::vector<std::string>> info_cases = {{kInfo},
                                                              {kInfo, kAsset, kAsset},
                                                              {kInfo, kAsset, "--jsn"},
                                                              {kInfo, "--json"},
                                                              {kInfo, kAsset, "--json=1"}};
    for (const auto& args : info_cases) {
        const auto r = run_program(args);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_NE(r.err.find("usage: kalvorant-info SCENE [--json]"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    const std::vector<std::vector<std::string>> render_cases = {
        {kRender},
        {kRender, kAsset, "--frames", "0"},
        {kRender, kAsset, "--frames", "4294967297"},
        {kRender, kAsset, "--frames", "3", "--only", "4"},
        {kRender, kAsset, "--only", "two"},
        {kRender, kAsset, "--gif"},
        {kRender, kAsset, "--speed", "2"},
        {kRender, kAsset, "--quiet=no"}};
    for (const auto& args : render_cases) {
        const auto r = run_program(args);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_EQ(r.err.rfind("kalvorant-render: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("usage: kalvorant-render SCENE"), std::string::npos) << r.err;
    }
    for (const std::string& tool : {kInfo, kRender}) {
        const auto r = run_program({tool, "--help"});
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out.rfind("usage: ", 0), 0u) << r.out;
    }
}

TEST(ToolsBadInput, UnwritableOutputsFailWithOneLine) {
    const std::string dir = tools_test::scratch_dir("cli_unwritable");
    const std::string blocker = dir + "/file";
    std::ofstream(blocker) << "x";
    // A regular file where the output directory should be, and a GIF in a missing directory.
    auto r = run_program({kRender, kAsset, "--out", blocker + "/sub"});
    expect_one_line_failure(r, "kalvorant-render: ");
    r = run_program({kRender, kAsset, "--gif", dir + "/no/such/dir/a.gif"});
    expect_one_line_failure(r, "kalvorant-render: ");
    EXPECT_NE(r.err.find("a.gif"), std::string::npos) << r.err;
    std::filesystem::remove_all(dir);
}

TEST(RenderTool, PngFramesAreTheDemoFramesPixelForPixel) {
    const std::string dir = tools_test::scratch_dir("cli_png");
    const auto r = run_program({kRender, kAsset, "--frames", "4", "--out", dir + "/out"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << "progress must stay off when stderr is no terminal: " << r.err;
    const auto expected = demo_frames(4);
    ASSERT_EQ(expected.size(), 4u);
    for (int k = 1; k <= 4; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/out/frame_%04d.png", k);
        tools_test::DecodedImage image;
        std::string error;
        ASSERT_TRUE(tools_test::decode_png(dir + name, image, error)) << name << ": " << error;
        EXPECT_EQ(image.width, kWidth);
        EXPECT_EQ(image.height, kHeight);
        EXPECT_TRUE(image.pixels == expected[static_cast<size_t>(k - 1)]) << "frame " << k;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/out/frame_0005.png"));
    EXPECT_NE(expected[0], expected[3]) << "the scene should move between frames";
    std::filesystem::remove_all(dir);
}

// The closing line names what was written, on standard output; --quiet leaves it out.
TEST(RenderTool, SaysWhatItWroteUnlessQuiet) {
    const std::string dir = tools_test::scratch_dir("cli_wrote");
    auto r = run_program(
        {kRender, kAsset, "--frames=3", "--out=" + dir + "/f", "--gif", dir + "/a.gif"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + dir + "/f/frame_0001.png ... " + dir +
                         "/f/frame_0003.png (3 frames) and " + dir + "/a.gif (3 frames)\n");
    EXPECT_TRUE(std::filesystem::exists(dir + "/f/frame_0003.png"));
    r = run_program({kRender, kAsset, "--only", "2", "--out", dir + "/g"});
    EXPECT_EQ(r.out, "wrote " + dir + "/g/frame_0002.png\n");
    r = run_program({kRender, kAsset, "--only", "2", "--gif", dir + "/b.gif", "--quiet"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir + "/b.gif"));
    std::filesystem::remove_all(dir);
}

TEST(RenderTool, OnlyWritesJustThatFrame) {
    const std::string dir = tools_test::scratch_dir("cli_only");
    const auto r = run_program({kRender, kAsset, "--only", "3", "--out", dir});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        written.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(written, std::vector<std::string>{"frame_0003.png"});
    tools_test::DecodedImage image;
    std::string error;
    ASSERT_TRUE(tools_test::decode_png(dir + "/frame_0003.png", image, error)) << error;
    EXPECT_TRUE(image.pixels == demo_frames(3).back());
    std::filesystem::remove_all(dir);
}

TEST(RenderTool, GifHoldsEveryFrameExactlyAtTwentyMilliseconds) {
    const std::string dir = tools_test::scratch_dir("cli_gif");
    const std::string path = dir + "/spin.gif";
    const auto r = run_program({kRender, kAsset, "--frames", "6", "--gif", path});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1)
        << "a GIF alone must not also write PNGs";
    tools_test::DecodedGif gif;
    std::string error;
    ASSERT_TRUE(tools_test::decode_gif(path, gif, error)) << error;
    EXPECT_TRUE(gif.loops_forever);
    EXPECT_EQ(gif.width, kWidth);
    EXPECT_EQ(gif.height, kHeight);
    const auto expected = demo_frames(6);
    ASSERT_EQ(gif.frames.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(gif.delays_cs[i], 2) << "frame " << i + 1;
        EXPECT_TRUE(gif.frames[i] == expected[i]) << "frame " << i + 1;
    }
    std::filesystem::remove_all(dir);
}

TEST(InfoTool, SummaryAndJsonDescribeTheBundledScene) {
    auto r = run_program({kInfo, kAsset});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("meshes: 4 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Core\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bounding box: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("key frames: 0 to 62"), std::string::npos) << r.out;

    r = run_program({kInfo, "--json", kAsset});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"keyframe_start\": 0, \"keyframe_end\": 62,", 0), 0u);
    EXPECT_EQ(r.out.back(), '\n');
}
