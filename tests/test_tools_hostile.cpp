// The tools as a careless user or an attacker runs them: outputs that would destroy the input or
// cannot be written, standard output that refuses the text, and memory running out after the
// scene has loaded. Whatever happens, a tool ends with status 0 or with one line and status 1.
#include "tools_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

using tools_test::run_program;
using tools_test::RunLimits;
using tools_test::RunResult;

namespace fs = std::filesystem;

namespace {

const std::string kInfo = KALV_INFO_TOOL;
const std::string kRender = KALV_RENDER_TOOL;
const std::string kAsset = std::string(KALV_SOURCE_DIR) + "/assets/object.3ds";

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Lines on standard error other than warnings (a scene without faces earns one, and still
// renders).
size_t line_count(const std::string& text) {
    size_t lines = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (text.substr(start, end - start).find(": warning: ") == std::string::npos) ++lines;
        start = end + 1;
    }
    return lines;
}

// Status 0, or status 1 with exactly one line on standard error; never a crash or an abort.
void expect_orderly_end(const RunResult& r) {
    EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1) << "status " << r.exit_code << ": " << r.err;
    if (r.exit_code == 1) {
        EXPECT_EQ(line_count(r.err), 1u) << r.err;
    }
}

void expect_refused(const RunResult& r, const std::string& mentions) {
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(line_count(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(mentions), std::string::npos) << r.err;
}

bool has_png(const std::string& dir) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.path().extension() == ".png") return true;
    return false;
}

// A file of nothing but empty triangle-mesh chunks: the smallest input per record it creates.
std::string empty_meshes_file(const std::string& dir, size_t meshes) {
    const std::string path = dir + "/empty_meshes.3ds";
    const char chunk[6] = {0x00, 0x41, 6, 0, 0, 0};
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < meshes; ++i)
        out.write(chunk, sizeof chunk);
    return path;
}

bool built_with_sanitizers() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

} // namespace

TEST(RenderToolOutputs, AnOutputThatIsTheInputIsRefusedAndTheSceneKept) {
    const std::string dir = tools_test::scratch_dir("hostile_same");
    const std::string scene = dir + "/scene.3ds";
    fs::copy_file(kAsset, scene);
    fs::create_symlink(scene, dir + "/link.gif");
    fs::create_hard_link(scene, dir + "/hard.gif");
    const std::string original = file_bytes(scene);
    for (const std::string& gif :
         {scene, dir + "/./scene.3ds", dir + "/link.gif", dir + "/hard.gif"}) {
        SCOPED_TRACE(gif);
        expect_refused(run_program({kRender, scene, "--frames", "2", "--gif", gif}),
                       "is the input scene");
    }
    // The scene named like the PNG frame the tool would write over it.
    const std::string frame_named = dir + "/frame_0002.png";
    fs::copy_file(kAsset, frame_named);
    expect_refused(run_program({kRender, frame_named, "--frames", "2", "--out", dir}),
                   "is the input scene");
    EXPECT_EQ(file_bytes(scene), original);
    EXPECT_EQ(file_bytes(frame_named), original);
    EXPECT_FALSE(fs::exists(dir + "/frame_0001.png")) << "a frame written before the refusal";
    fs::remove_all(dir);
}

TEST(RenderToolOutputs, UnusableOutputsAreFoundBeforeTheFirstFrame) {
    const std::string dir = tools_test::scratch_dir("hostile_early");
    fs::create_directories(dir + "/a_folder");
    const std::string frames = dir + "/frames";
    const std::vector<std::string> bad_gifs = {dir + "/missing/a.gif", dir + "/a_folder"};
    for (const std::string& gif : bad_gifs) {
        SCOPED_TRACE(gif);
        const auto r =
            run_program({kRender, kAsset, "--frames", "3", "--out", frames, "--gif", gif});
        expect_refused(r, "\"" + gif + "\"");
        EXPECT_FALSE(has_png(frames)) << "frames were rendered before the GIF path was checked";
    }
    // A path with a line end is shown escaped, on the one line of the error.
    const auto r = run_program({kRender, kAsset, "--gif", dir + "/missing\n/b.gif"});
    expect_refused(r, "missing\\x0A/b.gif");
    fs::remove_all(dir);
}

TEST(RenderToolOutputs, OnlyRendersUpToItsFrame) {
    // Rendering every one of 180000 frames takes minutes; the frames after frame 1 are never
    // saved, so the tool must stop there, well inside the CPU time it is given.
    const std::string dir = tools_test::scratch_dir("hostile_only");
    RunLimits limits;
    limits.cpu_seconds = 20;
    const auto r =
        run_program({kRender, kAsset, "--only", "1", "--frames", "180000", "--out", dir}, limits);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir + "/frame_0001.png"));
    fs::remove_all(dir);
}

// A write that fails half way (here a file-size limit) is told about the file the user named,
// never about the hidden temporary file, which is gone.
TEST(RenderToolOutputs, AFailedWriteNamesTheUsersFileAndLeavesNothing) {
    const std::string dir = tools_test::scratch_dir("hostile_write");
    RunLimits small;
    small.file_size_bytes = 20000;
    for (const std::string output : {"--png", "--gif"}) {
        const std::string target = dir + "/big" + (output == "--png" ? ".png" : ".gif");
        expect_refused(run_program({kRender, kAsset, "--size", "1024x768", "--frames", "2",
                                    "--quiet", output, target},
                                   small),
                       "kalvorant-render: \"" + target + "\": cannot ");
        EXPECT_TRUE(fs::is_empty(dir)) << output;
    }
    fs::remove_all(dir);
}

// The caps a thumbnailer relies on: past either, one line, status 1 and no file.
TEST(RenderToolCaps, ProcessorTimeAndMemoryCapsEndTheRunWithoutAFile) {
    const std::string dir = tools_test::scratch_dir("hostile_caps");
    expect_refused(
        run_program({kRender, kAsset, "--size", "4096x4096", "--frames", "3000", "--only", "3000",
                     "--threads", "1", "--max-cpu-seconds", "1", "--png", dir + "/slow.png"}),
        "gave up after 1 second of processor time");
    EXPECT_TRUE(fs::is_empty(dir));
    if (!built_with_sanitizers()) {
        const std::string scene = empty_meshes_file(dir, 200000); // about 80 MB once loaded
        expect_refused(run_program({kRender, scene, "--max-memory", "64", "--png", dir + "/a.png"}),
                       "out of memory");
        EXPECT_FALSE(fs::exists(dir + "/a.png"));
    }
    fs::remove_all(dir);
}

TEST(ToolsStandardOutput, TextThatCannotBeWrittenFailsWithStatusOne) {
    RunLimits full;
    full.stdout_path = "/dev/full";
    const std::vector<std::vector<std::string>> cases = {
        {kInfo, "--help"}, {kRender, "--help"}, {kInfo, kAsset}, {kInfo, kAsset, "--json"}};
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back());
        expect_refused(run_program(args, full), "cannot write to standard output");
    }
}

TEST(ToolsMemory, RunningOutOfMemoryAfterTheLoadEndsInOneLine) {
    if (built_with_sanitizers())
        GTEST_SKIP() << "the sanitizers reserve terabytes of address space; no limit fits them";
    const std::string dir = tools_test::scratch_dir("hostile_memory");
    const std::string scene = empty_meshes_file(dir, 30000);
    const std::vector<std::vector<std::string>> commands = {
        {kRender, scene, "--only", "1", "--out", dir}, {kInfo, scene}, {kInfo, scene, "--json"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.back());
        // Bisect for the smallest address-space limit under which the load passes; there,
        // whatever the tool does after the load runs short of memory.
        uint64_t fails = 16ull << 20, passes = 2048ull << 20;
        RunLimits limits;
        while (passes - fails > (1u << 20)) {
            limits.address_space_bytes = fails + (passes - fails) / 2;
            const RunResult r = run_program(command, limits);
            expect_orderly_end(r);
            const bool load_failed =
                r.exit_code != 0 && r.err.find("while loading") != std::string::npos;
            (load_failed ? fails : passes) = limits.address_space_bytes;
        }
        for (int step = 0; step < 6; ++step) {
            limits.address_space_bytes = passes + step * (256u << 10);
            SCOPED_TRACE(limits.address_space_bytes);
            const RunResult r = run_program(command, limits);
            expect_orderly_end(r);
        }
    }
    fs::remove_all(dir);
}
