// The two tools run as separate processes, as a user runs them: their exit status, their one-line
// errors, and their files, which must hold exactly the frames the demo computes in-process.
#include "app/demo.h"
#include "loader/chunk_reader.h"
#include "loader/quoted.h"
#include "tools_test_support.h"

#include <gtest/gtest.h>

#include <set>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

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
std::vector<std::vector<uint32_t>> demo_frames(int count, const std::string& path = kAsset) {
    std::string error;
    auto scene = load_scene(path, error);
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
    // A device that never ends and a path with a line end, shown escaped on the one line.
    for (const std::string& scene :
         {missing, cut, zero, std::string("/dev/zero"), dir + "/two\nlines.3ds"}) {
        SCOPED_TRACE(scene);
        auto r = run_program({kInfo, scene});
        const std::string shown = quoted_text(scene);
        expect_one_line_failure(r, "kalvorant-info: " + shown + ": ");
        EXPECT_GT(r.err.size(), ("kalvorant-info: " + shown + ": x\n").size()) << "no reason";
        r = run_program({kInfo, scene, "--json"});
        expect_one_line_failure(r, "kalvorant-info: " + shown + ": ");
        r = run_program({kRender, scene, "--out", dir + "/frames"});
        expect_one_line_failure(r, "kalvorant-render: " + shown + ": ");
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/frames")) << "output made for a failed load";
    // After "--" a name that starts with "-" is the scene, not an option.
    expect_one_line_failure(run_program({kInfo, "--", "-" + missing}),
                            "kalvorant-info: \"-" + missing + "\": cannot open");
    expect_one_line_failure(run_program({kRender, "--quiet", "--", "-" + missing}),
                            "kalvorant-render: \"-" + missing + "\": cannot open");
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
    expect_one_line_failure(r, "kalvorant-info: \"" + obj + "\": ");
    EXPECT_NE(r.err.find(hint), std::string::npos) << r.err;
    r = run_program({kRender, obj, "--out", dir + "/frames"});
    expect_one_line_failure(r, "kalvorant-render: \"" + obj + "\": ");
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
        EXPECT_EQ(r.err.rfind("kalvorant-info: warning: \"" + scene + "\" holds no faces", 0), 0u)
            << r.err;
        EXPECT_EQ(r.err.find(hint) != std::string::npos, scene != bare) << r.err;
        EXPECT_NE(r.out.find("meshes: 0"), std::string::npos) << r.out;
        r = run_program({kRender, scene, "--quiet", "--out", dir + "/frames"});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err.rfind("kalvorant-render: warning: \"" + scene + "\" holds no faces", 0), 0u)
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
    const auto expected = demo_frames(4);
    ASSERT_EQ(expected.size(), 4u);
    // The default draws on every processor; one thread and more threads than processors too.
    for (std::vector<std::string> threads :
         {std::vector<std::string>{}, {"--threads", "1"}, {"--threads", "5"}}) {
        std::vector<std::string> args = {kRender, kAsset, "--frames", "4", "--out", dir + "/out"};
        args.insert(args.end(), threads.begin(), threads.end());
        const auto r = run_program(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(r.err.empty())
            << "progress must stay off when stderr is no terminal: " << r.err;
        for (int k = 1; k <= 4; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "/out/frame_%04d.png", k);
            tools_test::DecodedImage image;
            std::string error;
            ASSERT_TRUE(tools_test::decode_png(dir + name, image, error)) << name << ": " << error;
            EXPECT_EQ(image.width, kWidth);
            EXPECT_EQ(image.height, kHeight);
            EXPECT_TRUE(image.pixels == expected[static_cast<size_t>(k - 1)])
                << "frame " << k << (threads.empty() ? "" : " with --threads " + threads[1]);
        }
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

// A real file modelled at its own small scale is a speck in the demo view: both tools say how
// many pixels it covers (the render tool: the most any saved frame covers; the info tool: the
// demo's first frame) and name the view that frames it, once; the fit view and the bundled scene
// draw no hint.
TEST(RenderTool, ASceneThatIsASpeckInTheDemoViewGetsOneHint) {
    const std::string horse = "/usr/share/glmark2/models/horse.3ds";
    if (!std::filesystem::exists(horse)) GTEST_SKIP() << "no " << horse << " (glmark2-data)";
    const std::string dir = tools_test::scratch_dir("cli_speck");
    auto r = run_program({kRender, horse, "--frames", "63", "--out", dir, "--quiet"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    int64_t most = 0;
    for (int frame = 1; frame <= 63; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%04d.png", frame);
        tools_test::DecodedImage image;
        std::string error;
        ASSERT_TRUE(tools_test::decode_png(dir + name, image, error)) << error;
        most = std::max<int64_t>(most, std::count_if(image.pixels.begin(), image.pixels.end(),
                                                     [](uint32_t p) { return p != 0; }));
    }
    ASSERT_GT(most, 0) << "the horse should show somewhere in the swing";
    const auto hint = [](int64_t covered) {
        return "warning: the scene covers " + std::to_string(covered) +
               (covered == 1 ? " pixel" : " pixels") + " in the demo view; --view fit frames it\n";
    };
    EXPECT_EQ(r.err, "kalvorant-render: " + hint(most));

    const std::vector<uint32_t> first = demo_frames(1, horse).back();
    r = run_program({kInfo, horse});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "kalvorant-info: " + hint(std::count_if(first.begin(), first.end(),
                                                             [](uint32_t p) { return p != 0; })));

    for (const std::vector<std::string>& quiet :
         {std::vector<std::string>{kRender, horse, "--view", "fit", "--png", dir + "/fit.png"},
          {kRender, kAsset, "--png", dir + "/asset.png"},
          {kInfo, kAsset}}) {
        r = run_program(quiet);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "") << quiet[1];
    }
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
    // The ring's radius is 68; at 512x384 the fitted sphere is seen under tan = 0.9 * 384 / 512,
    // so the camera stands 68 * sqrt(1 + 0.675^2) / 0.675 = 121.54 units away.
    EXPECT_NE(r.out.find("fit view (512x384): centre (0, 0, 0), bounding sphere radius 68, "
                         "camera 121.54"),
              std::string::npos)
        << r.out;
    // Lens 35: 2 * atan(18 / 35) = 54.43 degrees; the file's (0, -160, 70) in scene axes.
    EXPECT_NE(r.out.find("camera view: from (0, 70, -160) towards (0, 0, 0) (scene axes, first "
                         "key frame), field of view 54.43"),
              std::string::npos)
        << r.out;

    r = run_program({kInfo, "--json", kAsset});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"keyframe_start\": 0, \"keyframe_end\": 62,", 0), 0u);
    EXPECT_NE(r.out.find("\"field_of_view\": 54.43"), std::string::npos);
    EXPECT_NE(
        r.out.find("\n \"fit\": {\"centre\": [0, 0, 0], \"radius\": 68, \"distance\": 121.54"),
        std::string::npos);
    EXPECT_EQ(r.out.back(), '\n');
}

namespace {

// The Exec line of the thumbnailer entry, split into arguments and expanded the way a file
// manager does: %s the size, %i the input path, %u its URI, %o the output path, %% a percent.
// The program is looked up where the build put it, as an installed one is found on the PATH.
std::vector<std::string> thumbnailer_command(const std::string& input, int size,
                                             const std::string& output) {
    std::ifstream in(std::string(KALV_SOURCE_DIR) + "/tools/kalvorant.thumbnailer");
    std::string line, exec;
    while (std::getline(in, line))
        if (line.rfind("Exec=", 0) == 0) exec = line.substr(5);
    EXPECT_FALSE(exec.empty()) << "the entry has no Exec line";
    EXPECT_EQ(exec.find('"'), std::string::npos) << "quoted arguments need a real parser";
    std::vector<std::string> args;
    std::istringstream words(exec);
    for (std::string word; words >> word;) {
        std::string arg;
        for (size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 == word.size()) {
                arg += word[i];
                continue;
            }
            const char code = word[++i];
            if (code == 's') arg += std::to_string(size);
            if (code == 'i') arg += input;
            if (code == 'u') arg += "file://" + input;
            if (code == 'o') arg += output;
            if (code == '%') arg += '%';
        }
        args.push_back(arg);
    }
    if (!args.empty() && args[0].find('/') == std::string::npos)
        args[0] = (std::filesystem::path(kRender).parent_path() / args[0]).string();
    return args;
}

} // namespace

TEST(Thumbnailer, ExecLineMakesAFramedPngOfARealFile) {
    const std::string horse = "/usr/share/glmark2/models/horse.3ds";
    if (!std::filesystem::exists(horse)) GTEST_SKIP() << horse << " absent: install glmark2-data";
    const std::string dir = tools_test::scratch_dir("thumbnail");
    const std::string out = dir + "/horse.png";
    const auto r = run_program(thumbnailer_command(horse, 256, out));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    tools_test::DecodedImage image;
    std::string error;
    ASSERT_TRUE(tools_test::decode_png(out, image, error)) << error;
    ASSERT_EQ(image.width, 256);
    ASSERT_EQ(image.height, 256);
    const auto lit =
        std::count_if(image.pixels.begin(), image.pixels.end(), [](uint32_t p) { return p != 0; });
    EXPECT_GT(lit, 256 * 256 / 50) << "at least 2% of the thumbnail shows the horse";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1)
        << "nothing but the thumbnail is left behind";
    std::filesystem::remove_all(dir);
}

// The model look paints the pictures a file's materials name, found beside it whatever the case
// of their names; a picture that is not there is named in one warning and the faces keep their
// material's colour.
TEST(RenderTool, TexturesBesideTheFileAreDrawnAndAMissingOneIsNamed) {
    const std::string folder = "/usr/share/assimp/models/3DS";
    const std::string cube = folder + "/cube_with_diffuse_texture.3DS";
    if (!std::filesystem::exists(cube))
        GTEST_SKIP() << cube << " absent: install assimp-testmodels";
    const std::string dir = tools_test::scratch_dir("textures");
    const auto colours = [&](const std::string& scene, const std::string& out,
                             tools_test::RunResult& r) {
        r = run_program({kRender, scene, "--view=fit", "--still", "--size=64x48", "--png", out});
        tools_test::DecodedImage image;
        std::string error;
        EXPECT_TRUE(tools_test::decode_png(out, image, error)) << error << r.err;
        std::set<uint32_t> seen(image.pixels.begin(), image.pixels.end());
        return seen;
    };
    tools_test::RunResult r;
    for (const char* name : {"cube_with_diffuse_texture.3DS", "test1.3ds"}) {
        const auto seen = colours(folder + "/" + name, dir + "/t.png", r);
        EXPECT_EQ(r.exit_code, 0) << name;
        EXPECT_EQ(r.err, "") << name << ": every picture is found";
        EXPECT_GT(seen.size(), 40u) << name << ": a textured picture has many colours";
    }
    // Too many for a lossless GIF: it holds 256 standing for them, with a warning.
    r = run_program({kRender, folder + "/test1.3ds", "--view=fit", "--gif", dir + "/t.gif"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("more than 256 colours"), std::string::npos) << r.err;
    tools_test::DecodedGif gif;
    std::string problem;
    ASSERT_TRUE(tools_test::decode_gif(dir + "/t.gif", gif, problem)) << problem;
    EXPECT_EQ(gif.frames.size(), 1u);
    std::filesystem::copy_file(cube, dir + "/alone.3ds");
    const auto seen = colours(dir + "/alone.3ds", dir + "/a.png", r);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.err.find("warning: texture \"TEST.PNG\" of material"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not found beside alone.3ds"), std::string::npos) << r.err;
    EXPECT_LT(seen.size(), 40u) << "untextured, the faces keep one colour each";
    std::filesystem::remove_all(dir);
}

TEST(RenderTool, PlayAndKeyFrameShowTheFilesOwnAnimation) {
    const std::string cube = "/usr/share/assimp/models/3DS/RotatingCube.3DS";
    const std::string horse = "/usr/share/glmark2/models/horse.3ds";
    if (!std::filesystem::exists(cube) || !std::filesystem::exists(horse))
        GTEST_SKIP() << "install the Debian packages assimp-testmodels and glmark2-data";
    const std::string dir = tools_test::scratch_dir("play");
    // One pass of key frames 0 to 300 at 0.6 a frame; a file that does not move plays as a still.
    auto r = run_program(
        {kRender, cube, "--view=fit", "--play", "--size=16x16", "--gif", dir + "/c.gif"});
    EXPECT_EQ(r.out, "wrote " + dir + "/c.gif (500 frames)\n") << r.err;
    r = run_program({kRender, horse, "--view=fit", "--play", "--gif", dir + "/h.gif"});
    EXPECT_EQ(r.out, "wrote " + dir + "/h.gif (1 frame)\n") << r.err;
    // The thumbnailer shows the first key frame, which differs from the pose at 90.
    std::vector<std::vector<uint32_t>> pictures;
    for (const std::string t : {"0", "90", ""}) {
        const std::string out = dir + "/pose" + t + ".png";
        r = run_program(t.empty()
                            ? thumbnailer_command(cube, 64, out)
                            : std::vector<std::string>{kRender, cube, "--view=fit", "--size=64x64",
                                                       "--key-frame", t, "--png", out});
        tools_test::DecodedImage image;
        std::string error;
        EXPECT_TRUE(tools_test::decode_png(out, image, error)) << error << r.err;
        pictures.push_back(image.pixels);
    }
    EXPECT_NE(pictures[1], pictures[0]);
    EXPECT_EQ(pictures[2], pictures[0]);
    // The demo view, the default, poses nothing: it says which views do.
    r = run_program({kRender, cube, "--key-frame=90", "--png", dir + "/demo.png"});
    EXPECT_NE(r.err.find("--view fit or --view camera shows"), std::string::npos) << r.err;
    std::filesystem::remove_all(dir);
}

TEST(Thumbnailer, RefusedFileExitsNonZeroAndWritesNothing) {
    const std::string dir = tools_test::scratch_dir("thumbnail_refused");
    const std::string out = dir + "/cut.png";
    const auto r = run_program(thumbnailer_command(truncated_asset(dir, 1000), 128, out));
    EXPECT_NE(r.exit_code, 0);
    EXPECT_EQ(line_count(r.err), 1u) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "only cut.3ds";
    std::filesystem::remove_all(dir);
}

// A file manager shows its own icon for a file with nothing to draw, rather than a black square.
TEST(Thumbnailer, NothingToDrawGivesNoPicture) {
    const std::string dir = tools_test::scratch_dir("thumbnail_nothing");
    // One mesh whose only face has three equal corners: faces, but no pixel to draw.
    std::string mesh = std::string("\x10\x41\x2C\0\0\0\x03\0", 8) + std::string(36, '\0') +
                       std::string("\x20\x41\x10\0\0\0\x01\0\0\0\x01\0\x02\0\0\0", 16);
    mesh = std::string("\x00\x41\x42\0\0\0", 6) + mesh;
    const std::string object = std::string("\x00\x40\x4A\0\0\0f\0", 8) + mesh;
    const std::string scene = std::string("\x4D\x4D\x56\0\0\0\x3D\x3D\x50\0\0\0", 12) + object;
    for (const std::string& input :
         {write_bytes(dir + "/empty.3ds", ""), write_bytes(dir + "/flat.3ds", scene)}) {
        SCOPED_TRACE(input);
        const auto r = run_program(thumbnailer_command(input, 128, dir + "/thumb.png"));
        EXPECT_EQ(r.exit_code, 1) << r.err;
        EXPECT_NE(r.err.find("no picture is written"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir + "/thumb.png"));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2) << "the inputs only";
    std::filesystem::remove_all(dir);
}

TEST(Thumbnailer, EntryClaimsTheMimeTypeSharedMimeInfoGivesTo3dsFiles) {
    std::ifstream in(std::string(KALV_SOURCE_DIR) + "/tools/kalvorant.thumbnailer");
    const std::string entry((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(entry.find("\nMimeType=image/x-3ds;"), std::string::npos) << entry;
    const std::string database = "/usr/share/mime/packages/freedesktop.org.xml";
    if (!std::filesystem::exists(database)) GTEST_SKIP() << database << " absent";
    std::ifstream db(database);
    const std::string xml((std::istreambuf_iterator<char>(db)), {});
    const size_t type = xml.find("<mime-type type=\"image/x-3ds\">");
    ASSERT_NE(type, std::string::npos);
    EXPECT_NE(xml.find("<glob pattern=\"*.3ds\"/>", type), std::string::npos);
}

TEST(RenderTool, PngTakesTheChosenFrameViewAndSize) {
    const std::string dir = tools_test::scratch_dir("cli_views");
    auto r = run_program({kRender, kAsset, "--png", dir + "/first.png"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    tools_test::DecodedImage image;
    std::string error;
    ASSERT_TRUE(tools_test::decode_png(dir + "/first.png", image, error)) << error;
    EXPECT_TRUE(image.pixels == demo_frames(1).back()) << "frame 1 of the demo view";

    r = run_program({kRender, kAsset, "--view=fit", "--still", "--size", "64x48", "--only", "5",
                     "--png", dir + "/small.png"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    ASSERT_TRUE(tools_test::decode_png(dir + "/small.png", image, error)) << error;
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 48);
    EXPECT_GT(
        std::count_if(image.pixels.begin(), image.pixels.end(), [](uint32_t p) { return p != 0; }),
        64 * 48 / 10);
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"first.png", "small.png"}))
        << "--png alone writes no frame directory and leaves no temporary file";
    std::filesystem::remove_all(dir);
}

// A render stopped from outside removes the file it was writing and still dies of the signal.
TEST(RenderTool, ARenderStoppedBySignalLeavesNoTemporaryFile) {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXCPU, SIGXFSZ, SIGALRM,
                                    SIGUSR1, SIGUSR2, SIGPIPE, SIGVTALRM, SIGPROF}) {
        const std::string dir = tools_test::scratch_dir("cli_signal");
        const std::string gif = dir + "/long.gif";
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A test run started in the background by a shell inherits SIGINT ignored, and the
            // tool rightly leaves an ignored signal alone.
            ::signal(signal_number, SIG_DFL);
            ::execl(kRender.c_str(), kRender.c_str(), kAsset.c_str(), "--gif", gif.c_str(),
                    "--frames", "5000", "--size", "64x48", "--quiet", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        bool staged = false, ended = false;
        int status = 0;
        // The GIF is staged once the first pass has gathered its colours.
        for (int wait = 0; wait < 24000 && !staged && !ended; ++wait) {
            for (const auto& entry : std::filesystem::directory_iterator(dir))
                staged = staged || entry.path().extension() == ".tmp";
            ended = ::waitpid(child, &status, WNOHANG) == child;
            if (!staged && !ended) ::usleep(5000);
        }
        if (!ended) {
            ::kill(child, signal_number);
            ASSERT_EQ(::waitpid(child, &status, 0), child);
        }
        EXPECT_TRUE(staged) << "the render never began its GIF";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
        for (const auto& left : std::filesystem::directory_iterator(dir))
            ADD_FAILURE() << "signal " << signal_number << " left " << left.path();
        std::filesystem::remove_all(dir);
    }
}

TEST(RenderTool, BadViewsAndSizesAreRefusedWithStatus2AndTouchNothing) {
    const std::string dir = tools_test::scratch_dir("cli_bad_views");
    const std::string target = write_bytes(dir + "/keep.png", "old");
    const std::vector<std::vector<std::string>> cases = {
        {"--size", "0x0"},      {"--size", "100000x1"},
        {"--size", "abc"},      {"--size", "512x384x2"},
        {"--view", "sideways"}, {"--view", "camera:Nobody"},
        {"--view", "camera:"},  {"--view", "camera", "--size", "15x16"}};
    for (const auto& extra : cases) {
        std::vector<std::string> args = {kRender, kAsset, "--png", target};
        args.insert(args.end(), extra.begin(), extra.end());
        const auto r = run_program(args);
        SCOPED_TRACE(extra.back());
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_EQ(r.err.rfind("kalvorant-render: ", 0), 0u) << r.err;
    }
    const auto r = run_program({kRender, kAsset, "--view", "camera:Nobody", "--png", target});
    EXPECT_EQ(line_count(r.err), 1u) << "a missing camera is one line: " << r.err;
    EXPECT_NE(r.err.find("no camera named \"Nobody\" (the scene has \"Camera01\")"),
              std::string::npos)
        << r.err;
    std::ifstream in(target);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    std::filesystem::remove_all(dir);
}
