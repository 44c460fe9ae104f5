// kalvorant-info's output: the JSON is parsed back by Python's json module (an independent
// parser) and every real read back with from_chars must give the very same float bits; the
// readable summary is checked for the figures a user reads off it.
#include "tools/scene_json.h"
#include "tools/scene_summary.h"
#include "tools_test_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace {

// Flattens the parsed document to "path<TAB>kind<TAB>value" lines: numbers keep their exact
// source text (a str subclass marks them), strings become their code points, objects list
// their keys in order. NaN/Infinity literals are not JSON and make the script fail.
const char* kFlattenScript = R"PY(
import json, sys
class Num(str): pass
def reject(token):
    raise ValueError('non-JSON literal ' + token)
def walk(path, v, out):
    p = '.'.join(path)
    if isinstance(v, bool):
        out.append(p + '\tb\t' + str(v).lower())
    elif isinstance(v, Num):
        out.append(p + '\tn\t' + v)
    elif isinstance(v, dict):
        out.append(p + '\tk\t' + ','.join(v.keys()))
        for k, x in v.items(): walk(path + [k], x, out)
    elif isinstance(v, list):
        out.append(p + '\tl\t' + str(len(v)))
        for i, x in enumerate(v): walk(path + [str(i)], x, out)
    elif isinstance(v, str):
        out.append(p + '\ts\t' + ','.join(str(ord(c)) for c in v))
    else:
        raise ValueError('unexpected value at ' + p)
with open(sys.argv[1], encoding='utf-8') as f:
    doc = json.load(f, parse_float=Num, parse_int=Num, parse_constant=reject)
out = []
walk(['root'], doc, out)
print('\n'.join(out))
)PY";

std::string find_python() {
    for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const std::string path = std::string(dir) + "/python3";
        if (std::filesystem::exists(path)) return path;
    }
    return "";
}

struct Leaf {
    char kind = 0;
    std::string value;
};

// Parses json with Python and returns path -> leaf; fails the test on any parse error.
std::map<std::string, Leaf> parse_with_python(const std::string& json) {
    std::map<std::string, Leaf> leaves;
    const std::string dir = tools_test::scratch_dir("json");
    const std::string path = dir + "/scene.json";
    std::ofstream(path, std::ios::binary) << json;
    const auto run = tools_test::run_program({find_python(), "-c", kFlattenScript, path});
    std::filesystem::remove_all(dir);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        leaves[line.substr(0, a)] = Leaf{line[a + 1], line.substr(b + 1)};
    }
    return leaves;
}

uint32_t bits_of(float f) {
    return std::bit_cast<uint32_t>(f);
}

// The float that the number's text names, or NaN when the leaf is not a number.
float read_back(const std::map<std::string, Leaf>& leaves, const std::string& path) {
    auto it = leaves.find(path);
    if (it == leaves.end() || it->second.kind != 'n') return std::nanf("");
    float value = 0;
    const std::string& text = it->second.value;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nanf("");
    return value;
}

std::string code_points(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        if (!out.empty()) out += ',';
        out += std::to_string(static_cast<unsigned char>(c));
    }
    return out;
}

const float kTricky[] = {0.1f,
                         -0.0f,
                         1.0f / 3.0f,
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::min(),
                         std::numeric_limits<float>::max(),
                         -std::numeric_limits<float>::max(),
                         16777216.0f,
                         1e-10f,
                         123456.789f,
                         2.5f,
                         -7.0f,
                         0.3f,
                         1e30f,
                         std::nextafter(1.0f, 2.0f),
                         std::nextafter(0.1f, 0.0f)};

Scene tricky_scene() {
    Scene s;
    s.keyframe_start = 3;
    s.keyframe_end = 99;
    MeshObject m;
    m.name = std::string("Q\"\\\n\x01\x7f\xe9\xff", 8);
    m.node_id = 7;
    m.parent = 65535;
    for (size_t i = 0; i < std::size(kTricky); i += 2) {
        Vertex v;
        v.x = kTricky[i];
        v.y = kTricky[i + 1];
        v.z = static_cast<float>(i);
        v.u = kTricky[(i + 5) % std::size(kTricky)];
        v.nx = kTricky[(i + 3) % std::size(kTricky)];
        m.vertices.push_back(v);
    }
    Face f;
    f.v = {0, 2, 1};
    f.plane = Plane{std::nanf(""), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(), 0.25f};
    m.faces.push_back(f);
    f.material = 1;
    f.v = {3, 4, 5};
    f.plane = Plane{0, 0, 1, -2};
    m.faces.push_back(f);
    for (size_t i = 0; i < 16; ++i)
        m.matrix.m[i] = kTricky[i];
    m.position_track = PositionTrack{{0, 10}, {1, 2}, {3, 4}, {5, 6}};
    m.rotation_track = RotationTrack{{0}, {0.5f}, {0}, {1}, {0}};
    m.position_key_count = 2;
    m.rotation_key_count = 1;
    m.vertex_count = static_cast<int32_t>(m.vertices.size());
    m.face_count = 2;
    s.meshes.push_back(m);
    Camera c;
    c.name = "Cam";
    c.position = {1, 2, 3};
    c.lens = 35;
    c.bank = -0.0f;
    c.target_track = PositionTrack{{4}, {5}, {6}, {7}};
    s.cameras.push_back(c);
    Light l;
    l.name = "Spot";
    l.spot = 1;
    l.off = 1;
    l.colour = {1.0f, 0.5f, 0.0f};
    l.colour_int = {255, 127, 0};
    l.multiplier = std::numeric_limits<float>::quiet_NaN();
    s.lights.push_back(l);
    s.materials.push_back(Material{"A"});
    s.materials.push_back(Material{"B"});
    s.mesh_count = 1;
    s.camera_count = 1;
    s.light_count = 1;
    s.material_count = 2;
    return s;
}

} // namespace

TEST(SceneJson, RealsReadBackToTheSameFloatBits) {
    if (find_python().empty()) GTEST_SKIP() << "python3 is not installed; cannot parse back";
    const Scene scene = tricky_scene();
    const auto leaves = parse_with_python(scene_to_json(scene));
    ASSERT_FALSE(leaves.empty());
    const MeshObject& m = scene.meshes[0];
    for (size_t i = 0; i < m.vertices.size(); ++i) {
        const std::string v = "root.meshes.0.vertices." + std::to_string(i) + ".";
        const Vertex& src = m.vertices[i];
        const float fields[8] = {src.x, src.y, src.z, src.u, src.v, src.nx, src.ny, src.nz};
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(bits_of(read_back(leaves, v + std::to_string(k))), bits_of(fields[k]))
                << v << k;
        }
    }
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(bits_of(read_back(leaves, "root.meshes.0.matrix." + std::to_string(i))),
                  bits_of(kTricky[i]))
            << "matrix element " << i;
    }
    EXPECT_EQ(bits_of(read_back(leaves, "root.cameras.0.bank")), bits_of(-0.0f));
    EXPECT_EQ(read_back(leaves, "root.meshes.0.faces.1.plane.3"), -2.0f);
}

TEST(SceneJson, NonFiniteRealsAreStringsAndIntegersStayExact) {
    if (find_python().empty()) GTEST_SKIP() << "python3 is not installed; cannot parse back";
    const auto leaves = parse_with_python(scene_to_json(tricky_scene()));
    const auto str = [&](const std::string& path) {
        auto it = leaves.find(path);
        return it != leaves.end() && it->second.kind == 's' ? it->second.value : "<missing>";
    };
    EXPECT_EQ(str("root.meshes.0.faces.0.plane.0"), code_points("nan"));
    EXPECT_EQ(str("root.meshes.0.faces.0.plane.1"), code_points("inf"));
    EXPECT_EQ(str("root.meshes.0.faces.0.plane.2"), code_points("-inf"));
    EXPECT_EQ(str("root.lights.0.multiplier"), code_points("nan"));

    const auto num = [&](const std::string& path) {
        auto it = leaves.find(path);
        return it != leaves.end() && it->second.kind == 'n' ? it->second.value : "<missing>";
    };
    EXPECT_EQ(num("root.keyframe_start"), "3");
    EXPECT_EQ(num("root.keyframe_end"), "99");
    EXPECT_EQ(num("root.meshes.0.node_id"), "7");
    EXPECT_EQ(num("root.meshes.0.parent"), "65535");
    EXPECT_EQ(num("root.meshes.0.faces.0.material"), "-1");
    EXPECT_EQ(num("root.meshes.0.faces.1.material"), "1");
    EXPECT_EQ(num("root.meshes.0.faces.0.v.1"), "2");
    EXPECT_EQ(num("root.meshes.0.faces.0.v.2"), "1");
    EXPECT_EQ(num("root.lights.0.colour_int.1"), "127");
    EXPECT_EQ(num("root.lights.0.spot"), "1");
    EXPECT_EQ(num("root.lights.0.raytrace_shadow"), "0");
    EXPECT_EQ(num("root.meshes.0.position_track.1.0"), "10");
    EXPECT_EQ(num("root.meshes.0.rotation_track.0.1"), "0.5");
    EXPECT_EQ(num("root.cameras.0.target_track.0.3"), "7");
}

TEST(SceneJson, NamesAreTheFileBytesAsLatin1Characters) {
    if (find_python().empty()) GTEST_SKIP() << "python3 is not installed; cannot parse back";
    const Scene scene = tricky_scene();
    const auto leaves = parse_with_python(scene_to_json(scene));
    // Quote, backslash, newline, control bytes and high bytes all come back as the code point
    // equal to the byte's value.
    EXPECT_EQ(leaves.at("root.meshes.0.name").value, code_points(scene.meshes[0].name));
    EXPECT_EQ(leaves.at("root.materials.1.name").value, code_points("B"));

    std::string out;
    append_json_name(out, "\xe9");
    EXPECT_EQ(out, "\"\xc3\xa9\""); // UTF-8 for U+00E9
}

TEST(SceneJson, EveryRecordCarriesExactlyTheDocumentedFields) {
    if (find_python().empty()) GTEST_SKIP() << "python3 is not installed; cannot parse back";
    const auto leaves = parse_with_python(scene_to_json(tricky_scene()));
    EXPECT_EQ(leaves.at("root").value,
              "keyframe_start,keyframe_end,meshes,cameras,lights,materials,fit");
    EXPECT_EQ(leaves.at("root.meshes.0").value,
              "name,node_id,parent,matrix,vertices,faces,position_track,rotation_track,"
              "smoothing_groups");
    EXPECT_EQ(leaves.at("root.meshes.0.faces.0").value, "v,material,plane,smoothing");
    EXPECT_EQ(leaves.at("root.cameras.0").value,
              "name,position,target,bank,lens,matrix,position_track,target_track,view");
    EXPECT_EQ(leaves.at("root.cameras.0.view").value, "position,target,field_of_view");
    EXPECT_EQ(leaves.at("root.fit").value, "centre,radius,distance");
    EXPECT_EQ(leaves.at("root.lights.0").value,
              "name,spot,off,raytrace_shadow,position,spot_target,hotspot,falloff,inner_range,"
              "outer_range,multiplier,colour,colour_int");
    EXPECT_EQ(leaves.at("root.materials.0").value,
              "name,ambient,ambient_set,diffuse,diffuse_set,specular,specular_set,shininess,"
              "shininess_strength,transparency,self_illum,two_sided,texture,texture_strength,"
              "texture_scale,texture_offset");
    EXPECT_EQ(leaves.at("root.meshes.0.vertices").value, "8");
    EXPECT_EQ(leaves.at("root.meshes.0.vertices.0").value, "8");
    EXPECT_EQ(leaves.at("root.meshes.0.matrix").value, "16");
    EXPECT_EQ(leaves.at("root.meshes.0.position_track").value, "2");
    EXPECT_EQ(leaves.at("root.meshes.0.position_track.0").value, "4");
    EXPECT_EQ(leaves.at("root.meshes.0.rotation_track.0").value, "5");
    EXPECT_EQ(leaves.at("root.cameras.0.position_track").value, "0");
}

TEST(SceneJson, TextureReportsGoToTheirMaterials) {
    if (find_python().empty()) GTEST_SKIP() << "python3 is not installed; cannot parse back";
    const Scene scene = tricky_scene();
    const std::vector<TextureReport> reports = {{1, "B.PNG", true, 4, 2, ""}};
    TextSink sink;
    write_scene_json(sink, scene, &reports);
    const auto leaves = parse_with_python(sink.pending);
    EXPECT_EQ(leaves.at("root.materials.0.texture_found").value, "0");
    EXPECT_EQ(leaves.at("root.materials.1.texture_found").value, "1");
    EXPECT_EQ(leaves.at("root.materials.1.texture_size.0").value, "4");
    EXPECT_EQ(leaves.at("root.materials.1.texture_size.1").value, "2");

    const std::vector<TextureReport> missing = {
        {0, "A.PNG", false, 0, 0, "not found beside s.3ds"}};
    sink = TextSink{};
    write_scene_summary(sink, scene, &missing);
    EXPECT_NE(
        sink.pending.find("textures: 1\n  \"A.PNG\" of material \"A\": not found beside s.3ds\n"),
        std::string::npos)
        << sink.pending;
}

TEST(SceneJson, AnEmptySceneAndUnevenTracksStayValid) {
    if (find_python().empty()) GTEST_SKIP() << "python3 is not installed; cannot parse back";
    Scene empty;
    auto leaves = parse_with_python(scene_to_json(empty));
    EXPECT_EQ(leaves.at("root.meshes").value, "0");
    EXPECT_EQ(leaves.at("root.materials").value, "0");

    // A track whose parallel arrays disagree in length: only complete keys are written.
    Scene uneven;
    MeshObject m;
    m.position_track = PositionTrack{{0, 1, 2}, {0, 1}, {0, 1, 2}, {0, 1, 2}};
    uneven.meshes.push_back(m);
    leaves = parse_with_python(scene_to_json(uneven));
    EXPECT_EQ(leaves.at("root.meshes.0.position_track").value, "2");
}

TEST(SceneSummary, BoundingBoxSpansAllMeshesAndSkipsNonFiniteVertices) {
    Scene s;
    MeshObject a, b;
    a.vertices = {Vertex{-5, 1, 2}, Vertex{3, -4, 0}};
    b.vertices = {Vertex{std::nanf(""), 100, 100}, Vertex{1, 9, -8},
                  Vertex{std::numeric_limits<float>::infinity(), 0, 0}};
    s.meshes = {a, b};
    const SceneBounds box = scene_bounds(s);
    ASSERT_FALSE(box.empty);
    EXPECT_EQ(box.min, (std::array<float, 3>{-5, -4, -8}));
    EXPECT_EQ(box.max, (std::array<float, 3>{3, 9, 2}));

    Scene none;
    none.meshes.push_back(MeshObject{});
    EXPECT_TRUE(scene_bounds(none).empty);
    EXPECT_NE(scene_summary(none).find("bounding box: none (no vertices)\n"), std::string::npos);

    // Vertices that are there but all NaN are not "no vertices".
    MeshObject not_finite;
    not_finite.vertices.assign(3, Vertex{std::nanf(""), std::nanf(""), std::nanf("")});
    none.meshes = {not_finite};
    EXPECT_NE(scene_summary(none).find("bounding box: none (no finite vertex)\n"),
              std::string::npos);

    // Ends near the float limits: the size overflows float and is given exactly in double.
    const float big = std::numeric_limits<float>::max();
    MeshObject huge;
    huge.vertices = {Vertex{-big, -big, 0}, Vertex{big, big, 1}};
    none.meshes = {huge};
    const std::string text = scene_summary(none);
    EXPECT_NE(text.find(", size (6.805646932770577e+38, 6.805646932770577e+38, 1)\n"),
              std::string::npos)
        << text;
}

TEST(SceneSummary, ListsCountsNamesAndKeyFrameRange) {
    const std::string text = scene_summary(tricky_scene());
    // The tracks of its mesh record alone move nothing: no node has them.
    EXPECT_NE(text.find("key frames: no animation\n"), std::string::npos) << text;
    EXPECT_NE(text.find("meshes: 1 (8 vertices, 2 faces)"), std::string::npos) << text;
    EXPECT_NE(text.find("cameras: 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("lights: 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("materials: 2\n  \"A\"\n  \"B\"\n"), std::string::npos) << text;
    // A name with a newline must not break the one-record-per-line layout.
    EXPECT_NE(text.find("\"Q\\\"\\\\\\n\\u0001"), std::string::npos) << text;
    EXPECT_NE(text.find("spotlight"), std::string::npos) << text;
    // Node 7 has parent 65535: none. One face in material 1 ("B"), one in none.
    EXPECT_NE(text.find(", node 7, no parent, 2 position / 1 rotation keys\n"
                        "    faces by material: \"B\" 1, none 1\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find(", no local axes"), std::string::npos) << text;
    EXPECT_NE(text.find("(X, Z, Y)"), std::string::npos) << "axis convention: " << text;
    EXPECT_NE(text.find("point inward"), std::string::npos) << "normals: " << text;
}

TEST(SceneSummary, SaysWhatTheFileLeftOut) {
    Scene s;
    MeshObject m;
    m.name = "Box";
    m.vertices = {Vertex{}, Vertex{1, 0, 0}, Vertex{0, 1, 0}};
    m.faces.resize(3);
    m.faces[1].material = 0;
    m.parent = 4;
    s.meshes.push_back(m);
    s.materials.push_back(Material{"Red"});
    std::string text = scene_summary(s);
    EXPECT_NE(text.find("key frames: none\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Box\": 3 vertices, 3 faces, no local axes\n"
                        "    faces by material: \"Red\" 1, none 2\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  \"Red\"\n"), std::string::npos) << text;

    // Groups 1 and 3 on one face, 3 again and 32 on another: three groups. A material's colours,
    // flag and texture follow its name, only those the file gave.
    s.meshes[0].faces[0].smoothing = 0x5;
    s.meshes[0].faces[2].smoothing = 0x80000004u;
    s.materials[0].diffuse = {1, 0.5f, 0};
    s.materials[0].diffuse_set = true;
    s.materials[0].two_sided = true;
    s.materials[0].texture = "TEST.PNG";
    text = scene_summary(s);
    EXPECT_NE(text.find("    smoothing groups: 3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  \"Red\"\n    diffuse (1, 0.5, 0), two-sided, texture \"TEST.PNG\"\n"),
              std::string::npos)
        << text;

    // A track or a node id is key-frame data even when the frame range is 0 to 0; a named parent
    // is shown as a number.
    s.meshes[0].node_id = 2;
    s.meshes[0].matrix.m[0] = 1;
    text = scene_summary(s);
    EXPECT_NE(text.find("key frames: no animation\n"), std::string::npos) << text;
    EXPECT_NE(text.find("3 faces, node 2, parent 4, 0 position"), std::string::npos) << text;
    s.meshes[0].node_id = 0;
    s.cameras.push_back(Camera{});
    s.cameras[0].target_key_count = 1;
    EXPECT_NE(scene_summary(s).find("key frames: no animation\n"), std::string::npos);
}

namespace {

KeyTrack track(std::vector<std::pair<float, std::array<float, 4>>> keys) {
    KeyTrack t;
    for (const auto& [frame, value] : keys)
        t.keys.push_back(TrackKey{frame, 0, 0, 0, 0, 0, value});
    return t;
}

// Mesh "Box" (vertices (0, 0, 0) and (1, 2, 3) in scene axes) moving from 0 to 10 along X over
// key frames 0 to 10 and hidden from key frame 4, its node a child of a dummy; camera "Cam" 10
// units in front of the origin, lens 50, rolling from 0 to 90 degrees.
Scene posed_scene() {
    Scene s;
    s.keyframe_end = 10;
    MeshObject m;
    m.name = "Box";
    m.node_id = 1;
    m.parent = 0;
    m.vertices = {Vertex{0, 0, 0}, Vertex{1, 2, 3}};
    s.meshes = {m};
    Camera c;
    c.name = "Cam";
    c.position = {0, -10, 0};
    c.lens = 50;
    s.cameras = {c};
    const auto node = [](KeyframeNodeType type, int32_t id, const char* name, int32_t parent,
                         int32_t record) {
        KeyframeNode n;
        n.type = type;
        n.node_id = id;
        n.name = name;
        n.parent = parent < 0 ? 65535 : parent;
        n.parent_node = parent;
        n.record = record;
        return n;
    };
    KeyframeNode group = node(KeyframeNodeType::dummy, 0, "$$$DUMMY", -1, -1);
    group.instance_name = "Group";
    KeyframeNode box = node(KeyframeNodeType::object, 1, "Box", 0, 0);
    box.position = track({{0, {0, 0, 0}}, {10, {10, 0, 0}}});
    box.hide = track({{4, {}}});
    KeyframeNode camera = node(KeyframeNodeType::camera, 2, "Cam", -1, 0);
    camera.roll = track({{0, {0}}, {10, {90}}});
    s.nodes = {group, box, camera};
    s.mesh_count = s.camera_count = 1;
    s.node_count = 3;
    return s;
}

} // namespace

TEST(SceneReport, TheTruthAboutAnimationAndThePoseAtAKeyFrame) {
    Scene s = posed_scene();
    std::string text = scene_summary(s);
    EXPECT_NE(text.find("key frames: 0 to 10, 0.33 seconds at 30 key frames a second; moving:\n"
                        "  \"Box\" (object node 1): position, hide\n"
                        "  \"Cam\" (camera node 2): roll\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("node 1, parent 0 \"$$$DUMMY\" instance \"Group\" (dummy node 0)"),
              std::string::npos)
        << text;
    // The camera chunk's own place in the same axis order as the camera view's line below it.
    EXPECT_NE(text.find("at (0, 0, -10) looking at (0, 0, 0), lens 50, bank 0, 0 position / 0 "
                        "target keys\n    camera view: from (0, 0, -10) towards (0, 0, 0)"),
              std::string::npos)
        << text;
    // A camera no view can look through says why, not "field of view nan degrees".
    Scene blind = posed_scene();
    blind.cameras[0].lens = 0;
    const std::string blind_text = scene_summary(blind);
    EXPECT_NE(blind_text.find("(scene axes, first key frame), not shown: "), std::string::npos)
        << blind_text;
    EXPECT_EQ(blind_text.find("nan"), std::string::npos) << blind_text;
    // At key frame 5: the box 5 along X and hidden; the camera rolled by 45 degrees, its field of
    // view from the lens, 2 atan(18 / 50); places in the file's own axes.
    const double t = 5;
    TextSink sink;
    write_scene_summary(sink, s, nullptr, &t);
    EXPECT_NE(sink.pending.find("pose at key frame 5 (file axes, Z up):\n"
                                "  \"Box\": (5, 0, 0) to (6, 3, 2), hidden\n"
                                "  camera \"Cam\": at (0, -10, 0) looking at (0, 0, 0), roll 45, "
                                "field of view 39.59775 degrees\n"),
              std::string::npos)
        << sink.pending;
    if (find_python().empty()) GTEST_SKIP() << "python3 is not installed; cannot parse back";
    TextSink json;
    write_scene_json(json, s, nullptr, &t);
    const auto leaves = parse_with_python(json.pending);
    ASSERT_EQ(leaves.at("root.pose").value, "key_frame,meshes,cameras");
    EXPECT_EQ(leaves.at("root.pose.meshes.0").value, "name,hidden,bounds");
    EXPECT_EQ(leaves.at("root.pose.meshes.0.hidden").value, "true");
    EXPECT_EQ(leaves.at("root.pose.cameras.0").value, "name,position,target,roll,fov");
    const std::map<std::string, float> expected = {
        {"key_frame", 5},
        {"meshes.0.bounds.min.0", 5},
        {"meshes.0.bounds.max.1", 3},
        {"meshes.0.bounds.max.2", 2},
        {"cameras.0.position.1", -10},
        {"cameras.0.roll", 45},
        {"cameras.0.fov", float(2 * std::atan(18.0 / 50) * 180 / 3.14159265358979323846)}};
    for (const auto& [path, value] : expected)
        EXPECT_EQ(read_back(leaves, "root.pose." + path), value) << path;
}
