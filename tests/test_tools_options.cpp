// kalvorant-render's command line: numbers must be exactly what the user typed or refused, and
// the defaults must produce output somewhere.
#include "tools/render_options.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

RenderParse parse(std::vector<std::string> args, RenderOptions& o, std::string& error) {
    return parse_render_options(args, o, error);
}

} // namespace

TEST(RenderOptions, FrameNumbersAcceptOnlyPlainDecimalInRange) {
    int32_t n = -1;
    EXPECT_TRUE(parse_frame_number("1", n));
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(parse_frame_number("0063", n));
    EXPECT_EQ(n, 63);
    EXPECT_TRUE(parse_frame_number(std::to_string(kMaxFrames), n));
    EXPECT_EQ(n, kMaxFrames);

    for (const char* bad : {"", "0", "-1", "+5", " 5", "5 ", "5x", "0x10", "1e3", "3.0",
                            "4294967297", "99999999999999999999", "180001"}) {
        n = 42;
        EXPECT_FALSE(parse_frame_number(bad, n)) << "'" << bad << "'";
        EXPECT_EQ(n, 42) << "a refused number must not change the value: '" << bad << "'";
    }
}

TEST(RenderOptions, DefaultsWriteOneFrameToTheCurrentDirectory) {
    RenderOptions o;
    std::string error;
    ASSERT_EQ(parse({"scene.3ds"}, o, error), RenderParse::ok) << error;
    EXPECT_EQ(o.scene, "scene.3ds");
    EXPECT_EQ(o.frames, 1);
    EXPECT_EQ(o.only, 0);
    EXPECT_EQ(o.out_dir, ".");
    EXPECT_TRUE(o.gif_path.empty());
    EXPECT_EQ(o.threads, 0) << "one thread per processor unless told";

    // A GIF alone writes no PNGs; --only alone renders up to that frame.
    ASSERT_EQ(parse({"--gif", "a.gif", "s.3ds", "--frames", "63"}, o, error), RenderParse::ok);
    EXPECT_TRUE(o.out_dir.empty());
    EXPECT_EQ(o.gif_path, "a.gif");
    EXPECT_EQ(o.frames, 63);
    ASSERT_EQ(parse({"s.3ds", "--only", "12"}, o, error), RenderParse::ok);
    EXPECT_EQ(o.frames, 12);
    EXPECT_EQ(o.only, 12);
    EXPECT_EQ(o.out_dir, ".");
}

TEST(RenderOptions, MisuseIsAUsageErrorNamingTheProblem) {
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{}, "no scene"},
        {{"--frames", "3"}, "no scene"},
        {{"s.3ds", "--frames"}, "needs a value"},
        {{"s.3ds", "--frames", "0"}, "--frames"},
        {{"s.3ds", "--frames", "12abc"}, "12abc"},
        {{"s.3ds", "--frames", "5", "--only", "6"}, "beyond"},
        {{"s.3ds", "--only", "-2"}, "--only"},
        {{"s.3ds", "--out", ""}, "non-empty"},
        {{"s.3ds", "--gif"}, "needs a value"},
        {{"s.3ds", "--frames", "2", "--frames", "3"}, "more than once"},
        {{"s.3ds", "t.3ds"}, "more than one scene"},
        {{"s.3ds", "--fps", "50"}, "unknown option \"--fps\""},
        {{"s.3ds", "--f\nps"}, "unknown option \"--f\\x0Aps\""},
        {{"s.3ds", "t\n.3ds"}, "\"t\\x0A.3ds\")"},
        {{"s.3ds", "--threads", "0"}, "--threads"},
        {{"s.3ds", "--threads", "257"}, "257"},
        {{"s.3ds", "--threads", "2", "--threads", "2"}, "more than once"},
        {{"s.3ds", "--look", "flat"}, "unknown look \"flat\""},
        {{"s.3ds", "--up", "x"}, "unknown up axis \"x\""},
        {{"s.3ds", "--look", "demo", "--look=model"}, "more than once"},
    };
    for (const Case& c : cases) {
        RenderOptions o;
        std::string error;
        EXPECT_EQ(parse(c.args, o, error), RenderParse::usage_error) << c.mentions;
        EXPECT_NE(error.find(c.mentions), std::string::npos)
            << "error '" << error << "' should mention '" << c.mentions << "'";
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    }
}

TEST(RenderOptions, HelpIsRecognisedAndDocumentsTheDefaults) {
    RenderOptions o;
    std::string error;
    EXPECT_EQ(parse({"s.3ds", "--frames", "junk", "--help"}, o, error), RenderParse::usage_error);
    EXPECT_EQ(parse({"--help"}, o, error), RenderParse::help);
    EXPECT_EQ(parse({"-h", "s.3ds"}, o, error), RenderParse::help);
    const std::string usage = render_usage();
    EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 1);
    const std::string help = render_help();
    EXPECT_EQ(help.rfind(usage, 0), 0u);
    EXPECT_NE(help.find("default 1"), std::string::npos);
    EXPECT_NE(help.find("current directory"), std::string::npos);
}

TEST(RenderOptions, ValuesMayBeJoinedWithAnEqualsSign) {
    RenderOptions o;
    std::string error;
    ASSERT_EQ(parse({"s.3ds", "--frames=5", "--only=2", "--out=a=b", "--gif=x.gif", "--quiet",
                     "--threads=256"},
                    o, error),
              RenderParse::ok)
        << error;
    EXPECT_EQ(o.threads, 256);
    EXPECT_EQ(o.frames, 5);
    EXPECT_EQ(o.only, 2);
    EXPECT_EQ(o.out_dir, "a=b") << "only the first '=' separates the value";
    EXPECT_EQ(o.gif_path, "x.gif");
    EXPECT_TRUE(o.quiet);

    // The joined spelling is checked exactly like the separate one; a flag takes no value.
    const std::vector<std::vector<std::string>> refused = {
        {"s.3ds", "--frames="}, {"s.3ds", "--out="},    {"s.3ds", "--frames=x"},
        {"s.3ds", "--quiet=1"}, {"s.3ds", "--speed=2"}, {"s.3ds", "--frames=2", "--frames", "2"},
        {"--help=yes"}};
    for (const auto& args : refused) {
        EXPECT_EQ(parse(args, o, error), RenderParse::usage_error) << args.back();
        EXPECT_FALSE(error.empty());
    }
    ASSERT_EQ(parse({"a=b.3ds"}, o, error), RenderParse::ok) << "a scene name may hold '='";
    EXPECT_EQ(o.scene, "a=b.3ds");
    // After "--" every argument is the scene's name, whatever it looks like.
    ASSERT_EQ(parse({"--frames=2", "--", "--frames=3"}, o, error), RenderParse::ok) << error;
    EXPECT_EQ(o.scene, "--frames=3");
    EXPECT_EQ(o.frames, 2);
    ASSERT_EQ(parse({"--", "-"}, o, error), RenderParse::ok) << error;
    EXPECT_EQ(o.scene, "-");
    EXPECT_EQ(parse({"--", "-a.3ds", "--"}, o, error), RenderParse::usage_error);
    EXPECT_NE(error.find("\"-a.3ds\" and \"--\""), std::string::npos) << error;
}

TEST(RenderOptions, KeyFrameIsARealNumberOrStartAndExcludesPlay) {
    RenderOptions o;
    std::string error;
    ASSERT_EQ(parse({"s.3ds", "--key-frame=-12.5"}, o, error), RenderParse::ok) << error;
    EXPECT_TRUE(o.key_frame_set && o.view.still) << "a pose stands still";
    EXPECT_EQ(o.key_frame, -12.5);
    ASSERT_EQ(parse({"s.3ds", "--play"}, o, error), RenderParse::ok) << error;
    EXPECT_TRUE(o.play && !o.view.still && !o.frames_set) << "the demo view keeps its spin";
    for (const char* bad : {"", "x", "1e", "inf", "nan", "0x10", " 5", "2e9", "1,5"})
        EXPECT_EQ(parse({"s.3ds", "--key-frame", bad}, o, error), RenderParse::usage_error) << bad;
    EXPECT_NE(error.find("from -1e9 to 1e9, or 'start', not \"1,5\""), std::string::npos) << error;
    EXPECT_EQ(parse({"s.3ds", "--key-frame", "1", "--play"}, o, error), RenderParse::usage_error);
}
