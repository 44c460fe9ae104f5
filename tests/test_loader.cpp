// Loading well-formed scenes: what each chunk stores, in which axes and order, and how the
// key-frame nodes route their tracks.
#include "loader/chunk_reader.h"
#include "loader/loader_internal.h"
#include "test_loader_support.h"

#include <gtest/gtest.h>

#include <limits>

using namespace loader_test;

TEST(LoaderWalk, EmptyAndUnknownChunksGiveAnEmptySceneAndSiblingsStillCount) {
    std::string error = "stale";
    auto empty = load_bytes({}, error);
    ASSERT_TRUE(empty) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(empty->mesh_count + empty->camera_count + empty->light_count, 0);

    ChunkWriter w;
    begin_scene(w);
    write_leaf_chunk(w, 0x1234, std::vector<uint8_t>(10, 0xEE)); // unknown, between siblings
    mesh_object(w, "a", {{0, 0, 0}}, {});
    // A camera chunk has no children: a light hidden after its payload is never visited.
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (int i = 0; i < 8; ++i)
        write_float(w, 1.0f);
    begin_chunk(w, 0x4600);
    for (int i = 0; i < 3; ++i)
        write_float(w, 0.0f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->mesh_count, 1);
    EXPECT_EQ(scene->camera_count, 1);
    EXPECT_EQ(scene->light_count, 0);
}

TEST(LoaderWalk, TableOrderAndNames) {
    EXPECT_EQ(find_chunk(0x0002), 0);
    EXPECT_EQ(find_chunk(0x4D4D), 11);
    EXPECT_EQ(find_chunk(0xB025), 70); // colour track stands before the rotation track
    EXPECT_EQ(find_chunk(0xB021), 71);
    EXPECT_EQ(find_chunk(0x4627), 87);
    EXPECT_EQ(find_chunk(0x1234), -1);
    EXPECT_STREQ(chunk_name(0x4110), "vertex list");
    EXPECT_EQ(chunk_name(0xFFFF), nullptr);
}

TEST(LoaderMesh, AxesFaceOrderMappingAxesAndMaterials) {
    ChunkWriter w;
    begin_scene(w);
    begin_chunk(w, 0xAFFF);
    begin_chunk(w, 0xA000);
    write_name(w, "red");
    end_chunk(w);
    end_chunk(w);
    named_object(w, "box");
    begin_chunk(w, 0x4100);
    vertex_list(w, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 1}});
    begin_chunk(w, 0x4140);
    write_u16(w, 2);
    for (float f : {0.25f, 0.5f, 0.75f, 1.0f})
        write_float(w, f);
    end_chunk(w);
    begin_face_list(w, {{0, 1, 2}, {1, 2, 3}, {0, 2, 3}});
    begin_chunk(w, 0x4130);
    write_name(w, "red");
    write_u16(w, 1);
    write_u16(w, 2);
    end_chunk(w);
    begin_chunk(w, 0x4130);
    write_name(w, "no such material");
    write_u16(w, 1);
    write_u16(w, 0);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0x4160);
    for (int i = 1; i <= 12; ++i)
        write_float(w, static_cast<float>(i));
    end_chunk(w);
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(scene->mesh_count, 1);
    const MeshObject& mesh = scene->meshes[0];
    EXPECT_EQ(mesh.name, "box");
    ASSERT_EQ(mesh.vertex_count, 4);
    EXPECT_EQ(mesh.vertices[0].x, 1.0f);
    EXPECT_EQ(mesh.vertices[0].y, 3.0f);
    EXPECT_EQ(mesh.vertices[0].z, 2.0f);
    EXPECT_EQ(mesh.vertices[1].u, 0.75f);
    EXPECT_EQ(mesh.vertices[1].v, 1.0f);
    EXPECT_EQ(mesh.vertices[2].u, 0.0f);
    ASSERT_EQ(mesh.face_count, 3);
    EXPECT_EQ(mesh.faces[0].v, (std::array<int32_t, 3>{0, 2, 1}));
    EXPECT_EQ(mesh.faces[0].material, -1);
    EXPECT_EQ(mesh.faces[1].material, -1);
    EXPECT_EQ(mesh.faces[2].material, 0);
    EXPECT_EQ(scene->materials[0].name, "red");
    // Local axes keep the file's order and get column 3 = (0, 0, 0, 1).
    EXPECT_EQ(mesh.matrix.at(0, 1), 2.0f);
    EXPECT_EQ(mesh.matrix.at(3, 2), 12.0f);
    EXPECT_EQ(mesh.matrix.at(0, 3), 0.0f);
    EXPECT_EQ(mesh.matrix.at(3, 3), 1.0f);
}

namespace {
void light(ChunkWriter& w, const std::string& name, Point pos) {
    named_object(w, name);
    begin_chunk(w, 0x4600);
    for (float c : pos)
        write_float(w, c);
}
void float_colour(ChunkWriter& w, uint16_t id, Point rgb) {
    begin_chunk(w, id);
    for (float c : rgb)
        write_float(w, c);
    end_chunk(w);
}
} // namespace

TEST(LoaderLight, PositionSpotlightFlagsAndColourByCurrentName) {
    ChunkWriter w;
    begin_scene(w);
    light(w, "sun", {1, 2, 3});
    float_colour(w, 0x0010, {1.0f, 0.5f, 0.0f});
    begin_chunk(w, 0x4610);
    for (float f : {4.0f, 5.0f, 6.0f, 30.0f, 45.0f})
        write_float(w, f);
    end_chunk(w);
    write_leaf_chunk(w, 0x4620, {});
    write_leaf_chunk(w, 0x4627, {});
    begin_chunk(w, 0x465B);
    write_float(w, 2.5f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    light(w, "lamp", {0, 0, 0});
    end_chunk(w);
    end_chunk(w);
    // A material named like a light recolours that light from inside the material entry...
    begin_chunk(w, 0xAFFF);
    begin_chunk(w, 0xA000);
    write_name(w, "sun");
    end_chunk(w);
    begin_chunk(w, 0xA020);
    float_colour(w, 0x0013, {0.0f, 0.0f, 0.2f});
    end_chunk(w);
    end_chunk(w);
    // ...while a background colour after the object "tree" colours no light at all.
    mesh_object(w, "tree", {}, {});
    begin_chunk(w, 0x1200);
    float_colour(w, 0x0010, {1.0f, 1.0f, 1.0f});
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(scene->light_count, 2);
    const Light& sun = scene->lights[0];
    EXPECT_EQ(sun.position, (std::array<float, 3>{1, 3, 2}));
    EXPECT_EQ(sun.spot, 1);
    EXPECT_EQ(sun.spot_target, (std::array<float, 3>{4, 6, 5}));
    EXPECT_EQ(sun.falloff, 45.0f);
    EXPECT_EQ(sun.off, 1);
    EXPECT_EQ(sun.raytrace_shadow, 1);
    EXPECT_EQ(sun.multiplier, 2.5f);
    EXPECT_EQ(sun.colour, (std::array<float, 3>{0.0f, 0.0f, 0.2f}));
    EXPECT_EQ(sun.colour_int, (std::array<int32_t, 3>{0, 0, 51}));
    EXPECT_EQ(scene->lights[1].colour_int, (std::array<int32_t, 3>{0, 0, 0}));
}

TEST(LoaderLight, FloatColourToIntegerTruncatesSaturatesAndZeroesNaN) {
    EXPECT_EQ(colour_to_int(1.0f), 255);
    EXPECT_EQ(colour_to_int(0.5f), 127);
    EXPECT_EQ(colour_to_int(-0.5f), -127);
    EXPECT_EQ(colour_to_int(1e10f), INT32_MAX);
    EXPECT_EQ(colour_to_int(-1e10f), INT32_MIN);
    EXPECT_EQ(colour_to_int(std::numeric_limits<float>::infinity()), INT32_MAX);
    EXPECT_EQ(colour_to_int(std::numeric_limits<float>::quiet_NaN()), 0);
}

namespace {
// One mesh "m", one camera "cam", and key-frame nodes: an object node for "m" with position
// and rotation tracks, a camera node and a camera target node for "cam".
std::vector<uint8_t> animated_scene() {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x3D3D);
    mesh_object(w, "m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (float f : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 35.0f})
        write_float(w, f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB008);
    write_u32(w, 0);
    write_u32(w, 100);
    end_chunk(w);
    begin_chunk(w, 0xB002);
    node_id(w, 7);
    node_header(w, "m", 65535);
    begin_chunk(w, 0xB020);
    track_header(w, 0x00010003u);       // only the low half counts: 3 keys
    key_header(w, 0x00010001u, 0x0005); // frame 1; bits 0 and 2: two floats
    for (float f : {1.0f, 2.0f, 3.0f})
        write_float(w, f);
    key_header(w, 9, 0x0018); // bits 3 and 4 (ease to, ease from) carry floats too
    for (float f : {4.0f, 5.0f, 6.0f})
        write_float(w, f);
    key_header(w, 12, 0xFFE0); // bits 5 to 15 carry nothing
    for (float f : {7.0f, 8.0f, 9.0f})
        write_float(w, f);
    end_chunk(w);
    begin_chunk(w, 0xB021);
    track_header(w, 3);
    for (uint32_t k = 0; k < 3; ++k) {
        key_header(w, k * 10, 0x0001);
        for (float f : {0.5f * static_cast<float>(k), 1.0f, 2.0f, 3.0f})
            write_float(w, f);
    }
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB003);
    node_header(w, "cam", 65535);
    position_track(w, {{0, {1, 2, 3}}});
    begin_chunk(w, 0xB021); // camera rotation tracks store nothing
    track_header(w, 1);
    key_header(w, 0, 0);
    for (int i = 0; i < 4; ++i)
        write_float(w, 1.0f);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB004);
    node_header(w, "cam", 65535);
    position_track(w, {{0, {1, 12, 3}}});
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    return chunk_bytes(w);
}
} // namespace

TEST(LoaderKeyframes, NodesRouteTracksToTheirMeshAndCamera) {
    std::string error;
    auto scene = load_bytes(animated_scene(), error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->keyframe_end, 100);
    const MeshObject& mesh = scene->meshes[0];
    EXPECT_EQ(mesh.node_id, 7);
    EXPECT_EQ(mesh.parent, 65535);
    ASSERT_EQ(mesh.position_key_count, 3);
    ASSERT_EQ(mesh.position_track.x.size(), 3u);
    EXPECT_EQ(mesh.position_track.frame[0], 1.0f);
    EXPECT_EQ(mesh.position_track.y[0], 3.0f);
    EXPECT_EQ(mesh.position_track.frame[1], 9.0f);
    EXPECT_EQ(mesh.position_track.x[1], 4.0f);
    EXPECT_EQ(mesh.position_track.z[1], 5.0f);
    EXPECT_EQ(mesh.position_track.frame[2], 12.0f);
    EXPECT_EQ(mesh.position_track.x[2], 7.0f);
    EXPECT_EQ(mesh.position_track.y[2], 9.0f);
    ASSERT_EQ(mesh.rotation_key_count, 3);
    ASSERT_EQ(mesh.rotation_track.axis_z.size(), 3u);
    EXPECT_EQ(mesh.rotation_track.frame[2], 20.0f);
    EXPECT_EQ(mesh.rotation_track.angle[2], 1.0f);
    EXPECT_EQ(mesh.rotation_track.axis_y[2], 3.0f);
    EXPECT_EQ(mesh.rotation_track.axis_z[2], 2.0f);

    const Camera& cam = scene->cameras[0];
    EXPECT_EQ(cam.position, (std::array<float, 3>{1, 2, 3}));
    EXPECT_EQ(cam.lens, 35.0f);
    ASSERT_EQ(cam.position_key_count, 1);
    ASSERT_EQ(cam.target_key_count, 1);
    // Stored keys (1, 3, 2) and (1, 3, 12): the camera looks along +z from (1, 3, 2).
    EXPECT_EQ(cam.matrix.at(2, 2), 1.0f);
    EXPECT_EQ(cam.matrix.at(3, 1), 3.0f);
    EXPECT_EQ(cam.matrix.at(3, 2), 2.0f);
}

TEST(LoaderKeyframes, ObjectNodeNamingNoMeshStoresNothingButStillEndsThePendingHeader) {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x3D3D);
    mesh_object(w, "m", {{0, 0, 0}}, {});
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (int i = 0; i < 8; ++i)
        write_float(w, 0.0f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB002);
    node_header(w, "ghost", 0);
    position_track(w, {{0, {1, 1, 1}}});
    // A second header in the object node is looked up among the cameras.
    node_header(w, "cam", 0);
    position_track(w, {{0, {2, 2, 2}}});
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->cameras[0].position_key_count, 0);
    // The camera index 0 does fit the mesh array, so "m" takes the keys, as the design routes them.
    ASSERT_EQ(scene->meshes[0].position_key_count, 1);
    EXPECT_EQ(scene->meshes[0].position_track.x[0], 2.0f);
}

// Ambient, light, light target and spotlight nodes have no record in the scene: their headers
// look nothing up and their tracks store nothing, wherever they stand.
TEST(LoaderKeyframes, LightNodesTakeNoMeshOrCameraTrack) {
    ChunkWriter w;
    begin_chunk(w, 0x4D4D);
    begin_chunk(w, 0x3D3D);
    mesh_object(w, "m", {{0, 0, 0}}, {});
    mesh_object(w, "n", {{0, 0, 0}}, {});
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (int i = 0; i < 8; ++i)
        write_float(w, 0.0f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB000);
    const auto node = [&](uint16_t kind, uint16_t id, const std::string& name, float value,
                          size_t keys) {
        begin_chunk(w, kind);
        node_id(w, id);
        node_header(w, name, 7);
        position_track(w, std::vector<std::pair<uint32_t, Point>>(keys, {0, {value, 0, 0}}));
        end_chunk(w);
    };
    node(0xB005, 9, "m", 5, 2); // named like a mesh, before any object node
    node(0xB002, 4, "n", 1, 1);
    node(0xB007, 8, "cam", 6, 3); // named like camera 0, after an object node
    node(0xB003, 5, "cam", 3, 1);
    node(0xB006, 6, "cam", 2, 4);
    node(0xB001, 3, "n", 4, 5);
    // Ending on an object node leaves the header pending for the start of the filling pass.
    begin_chunk(w, 0xB002);
    end_chunk(w);
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    const MeshObject& m = scene->meshes[0];
    EXPECT_EQ(m.node_id, 0);
    EXPECT_EQ(m.parent, 0);
    EXPECT_EQ(m.position_key_count, 0);
    const MeshObject& n = scene->meshes[1];
    EXPECT_EQ(n.node_id, 4);
    ASSERT_EQ(n.position_key_count, 1);
    EXPECT_EQ(n.position_track.x, std::vector<float>{1});
    const Camera& cam = scene->cameras[0];
    ASSERT_EQ(cam.position_key_count, 1);
    EXPECT_EQ(cam.position_track.x, std::vector<float>{3});
    EXPECT_EQ(cam.target_key_count, 0);
}

TEST(LoaderNames, LongNamesKeep63BytesAndTheDataAfterThemStaysAligned) {
    const std::string exact(63, 'e');
    const std::string long_name(70, 'L');
    ChunkWriter w;
    begin_scene(w);
    mesh_object(w, exact, {{0, 0, 0}}, {});
    mesh_object(w, long_name, {{1, 2, 3}}, {});
    end_chunk(w);
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB002);
    node_header(w, long_name, 42);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->meshes[0].name, exact);
    EXPECT_EQ(scene->meshes[1].name, long_name.substr(0, 63));
    EXPECT_EQ(scene->meshes[1].vertices[0].y, 3.0f); // the rest of the name was skipped
    EXPECT_EQ(scene->meshes[1].parent, 42);
}

TEST(LoaderState, EveryLoadStartsFromAFreshState) {
    std::string error;
    // Leaves current_name "lamp" and a node index pointing at mesh 0 behind.
    ChunkWriter first;
    begin_scene(first);
    mesh_object(first, "lamp", {{0, 0, 0}}, {});
    end_chunk(first);
    begin_chunk(first, 0xB000);
    begin_chunk(first, 0xB002);
    node_header(first, "lamp", 0);
    end_chunk(first);
    end_chunk(first);
    end_chunk(first);
    ASSERT_TRUE(load_writer(first, error)) << error;

    // An unnamed light and a track before any node header.
    ChunkWriter second;
    begin_scene(second);
    mesh_object(second, "box", {{0, 0, 0}}, {});
    begin_chunk(second, 0x4600);
    for (int i = 0; i < 3; ++i)
        write_float(second, 0.0f);
    end_chunk(second);
    end_chunk(second);
    begin_chunk(second, 0xB000);
    begin_chunk(second, 0xB002);
    position_track(second, {{0, {5, 5, 5}}});
    end_chunk(second);
    end_chunk(second);
    end_chunk(second);
    auto scene = load_writer(second, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->lights[0].name, "box"); // the last object name of this file, not "lamp"
    EXPECT_EQ(scene->meshes[0].position_key_count, 0);
}

TEST(LoaderState, TheFillingPassStartsWithTheNamesAndNodeKindTheCountingPassLeft) {
    ChunkWriter w;
    begin_scene(w);
    // A light before any named object is named after the last object name of the whole file,
    // and its colour chunk finds it under that name.
    begin_chunk(w, 0x4600);
    for (int i = 0; i < 3; ++i)
        write_float(w, 0.0f);
    begin_chunk(w, 0x0010);
    for (float f : {0.0f, 1.0f, 0.0f})
        write_float(w, f);
    end_chunk(w);
    end_chunk(w);
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (int i = 0; i < 8; ++i)
        write_float(w, 0.0f);
    end_chunk(w);
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB000);
    // A header outside any node: in the filling pass the node kind still holds "camera" from the
    // counting pass's last node, so it is looked up among the cameras.
    node_header(w, "cam", 0);
    position_track(w, {{4, {1, 2, 3}}});
    begin_chunk(w, 0xB003);
    node_header(w, "cam", 0);
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(scene->light_count, 1);
    EXPECT_EQ(scene->lights[0].name, "cam");
    EXPECT_EQ(scene->lights[0].colour_int, (std::array<int32_t, 3>{0, 255, 0}));
    ASSERT_EQ(scene->cameras[0].position_key_count, 1);
    EXPECT_EQ(scene->cameras[0].position_track.frame[0], 4.0f);
    EXPECT_EQ(scene->cameras[0].position_track.y[0], 3.0f);
}

TEST(LoaderNames, LookupsFindTheFirstRecordOfANameAndOnlyRecordsAlreadyRead) {
    ChunkWriter w;
    begin_scene(w);
    for (int i = 0; i < 2; ++i) {
        begin_chunk(w, 0xA000);
        write_name(w, "dup");
        end_chunk(w);
    }
    for (int i = 0; i < 2; ++i) {
        named_object(w, "twin");
        begin_chunk(w, 0x4100);
        vertex_list(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        begin_face_list(w, {{0, 1, 2}});
        begin_chunk(w, 0x4130);
        write_name(w, i == 0 ? "dup" : "later"); // "later" is named only further down the file
        write_u16(w, 1);
        write_u16(w, 0);
        end_all_chunks(w);
        begin_scene(w);
    }
    begin_chunk(w, 0xA000);
    write_name(w, "later");
    end_chunk(w);
    // The second light's own colour chunk colours the first light of its name.
    for (float green : {0.0f, 1.0f}) {
        named_object(w, "L");
        begin_chunk(w, 0x4600);
        for (int i = 0; i < 3; ++i)
            write_float(w, 0.0f);
        begin_chunk(w, 0x0010);
        for (float f : {0.0f, green, 0.0f})
            write_float(w, f);
        end_chunk(w);
        end_chunk(w);
        end_chunk(w);
    }
    end_chunk(w);
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB002);
    node_id(w, 3);
    node_header(w, "twin", 9);
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(scene->material_count, 3);
    ASSERT_EQ(scene->mesh_count, 2);
    EXPECT_EQ(scene->meshes[0].faces[0].material, 0);
    EXPECT_EQ(scene->meshes[1].faces[0].material, -1);
    EXPECT_EQ(scene->meshes[0].node_id, 3);
    EXPECT_EQ(scene->meshes[0].parent, 9);
    EXPECT_EQ(scene->meshes[1].node_id, 0);
    ASSERT_EQ(scene->light_count, 2);
    EXPECT_EQ(scene->lights[0].colour_int, (std::array<int32_t, 3>{0, 255, 0}));
    EXPECT_EQ(scene->lights[1].colour_int, (std::array<int32_t, 3>{0, 0, 0}));
}

namespace {

// A key with every spline parameter present (flag bits 0 to 4) and the given values.
void full_key(ChunkWriter& w, uint32_t frame, std::initializer_list<float> values) {
    write_u32(w, frame);
    write_u16(w, 0x001F);
    for (float f : {0.1f, 0.2f, 0.3f, 0.4f, 0.5f})
        write_float(w, f);
    for (float f : values)
        write_float(w, f);
}

void track(ChunkWriter& w, uint16_t id, uint16_t flags,
           std::vector<std::pair<uint32_t, std::vector<float>>> keys) {
    begin_chunk(w, id);
    write_u16(w, flags);
    for (int i = 0; i < 8; ++i)
        write_u8(w, 0);
    write_u32(w, static_cast<uint32_t>(keys.size()));
    for (const auto& [frame, values] : keys) {
        write_u32(w, frame);
        write_u16(w, 0);
        for (float f : values)
            write_float(w, f);
    }
    end_chunk(w);
}

} // namespace

TEST(LoaderKeyframes, NodesKeepEveryTrackPivotInstanceNameParentAndCamera) {
    ChunkWriter w;
    begin_scene(w);
    begin_chunk(w, 0x3D3D);
    mesh_object(w, "m", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    named_object(w, "cam");
    begin_chunk(w, 0x4700);
    for (float f : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 35.0f})
        write_float(w, f);
    end_all_chunks(w);
    begin_chunk(w, 0xB000);
    begin_chunk(w, 0xB002); // a dummy with an instance name and a pivot, no node id chunks
    node_header(w, "$$$DUMMY", 65535);
    begin_chunk(w, 0xB011);
    write_name(w, "Arm");
    end_chunk(w);
    begin_chunk(w, 0xB013);
    for (float f : {1.0f, 2.0f, 3.0f})
        write_float(w, f);
    end_chunk(w);
    begin_chunk(w, 0xB020);
    track_header(w, 1);
    full_key(w, 4, {7, 8, 9});
    end_chunk(w);
    end_chunk(w);
    begin_chunk(w, 0xB002); // the mesh's node, child of the dummy (file place 0)
    node_header(w, "m", 0);
    track(w, 0xB022, 3, {{0, {1, 2, 3}}, {10, {4, 5, 6}}});
    track(w, 0xB029, 2, {{5, {}}, {9, {}}});
    end_chunk(w);
    begin_chunk(w, 0xB003);
    node_header(w, "cam", 65535);
    track(w, 0xB023, 0, {{0, {45}}});
    track(w, 0xB024, 0, {{0, {0}}, {120, {-77}}});
    end_chunk(w);
    begin_chunk(w, 0xB004);
    node_header(w, "cam", 1); // parent 1: the mesh's node
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(scene->node_count, 4);
    ASSERT_EQ(scene->nodes.size(), 4u);
    const KeyframeNode& dummy = scene->nodes[0];
    EXPECT_EQ(dummy.type, KeyframeNodeType::dummy);
    EXPECT_EQ(dummy.record, -1);
    EXPECT_EQ(dummy.instance_name, "Arm");
    EXPECT_EQ(dummy.pivot, (std::array<float, 3>{1, 3, 2})); // scene axes
    ASSERT_EQ(dummy.position.keys.size(), 1u);
    const TrackKey& key = dummy.position.keys[0];
    EXPECT_EQ(key.frame, 4);
    EXPECT_EQ(
        (std::array<float, 5>{key.tension, key.continuity, key.bias, key.ease_to, key.ease_from}),
        (std::array<float, 5>{0.1f, 0.2f, 0.3f, 0.4f, 0.5f}));
    EXPECT_EQ(key.value, (std::array<float, 4>{7, 9, 8, 0}));
    const KeyframeNode& object = scene->nodes[1];
    EXPECT_EQ(object.type, KeyframeNodeType::object);
    EXPECT_EQ(object.record, 0);
    EXPECT_EQ(object.parent_node, 0);
    EXPECT_TRUE(object.scale.loop);
    EXPECT_FALSE(object.scale.repeat);
    EXPECT_EQ(object.scale.keys[1].value, (std::array<float, 4>{4, 6, 5, 0}));
    EXPECT_TRUE(object.hide.repeat);
    ASSERT_EQ(object.hide.keys.size(), 2u);
    EXPECT_EQ(object.hide.keys[1].frame, 9);
    const KeyframeNode& camera = scene->nodes[2];
    EXPECT_EQ(camera.type, KeyframeNodeType::camera);
    EXPECT_EQ(camera.record, 0);
    EXPECT_EQ(camera.fov.keys[0].value[0], 45);
    EXPECT_EQ(camera.roll.keys[1].value[0], -77);
    EXPECT_EQ(scene->nodes[3].type, KeyframeNodeType::target);
    EXPECT_EQ(scene->nodes[3].record, 0);
    EXPECT_EQ(scene->nodes[3].parent_node, 1);
    // What the demo reads is as before: the mesh's node fields and the dummy's track stay apart.
    EXPECT_EQ(scene->meshes[0].parent, 0);
    EXPECT_EQ(scene->meshes[0].position_key_count, 0);
}

TEST(LoaderKeyframes, NewTracksAreCheckedLikeTheOthers) {
    for (uint16_t id : {0xB022, 0xB023, 0xB024, 0xB013}) {
        ChunkWriter w;
        begin_scene(w);
        begin_chunk(w, 0xB000);
        begin_chunk(w, 0xB002);
        node_header(w, "x", 65535);
        begin_chunk(w, id);
        if (id != 0xB013) {
            track_header(w, 2);
            key_header(w, 0, 0x0001); // a tension, then one value short of a whole key
        }
        write_float(w, 1);
        end_all_chunks(w);
        std::string error;
        EXPECT_FALSE(load_writer(w, error)) << std::hex << id;
        EXPECT_NE(error.find("is cut short"), std::string::npos) << error;
    }
}
