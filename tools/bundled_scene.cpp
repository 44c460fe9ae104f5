#include "tools/bundled_scene.h"

#include "tools/chunk_writer.h"

namespace {

// Chunk ids of the 3D Studio format used here.
enum : uint16_t {
    kMain = 0x4D4D,
    kVersion = 0x0002,
    kColourFloat = 0x0010,
    kColourBytes = 0x0011,
    kMasterScale = 0x0100,
    kEditor = 0x3D3D,
    kMeshVersion = 0x3D3E,
    kNamedObject = 0x4000,
    kTriangleMesh = 0x4100,
    kVertexList = 0x4110,
    kFaceList = 0x4120,
    kFaceMaterial = 0x4130,
    kMapping = 0x4140,
    kSmoothing = 0x4150,
    kLocalAxes = 0x4160,
    kLight = 0x4600,
    kSpotlight = 0x4610,
    kLightOff = 0x4620,
    kRaytraceShadow = 0x4627,
    kInnerRange = 0x4659,
    kOuterRange = 0x465A,
    kMultiplier = 0x465B,
    kCamera = 0x4700,
    kMaterial = 0xAFFF,
    kMaterialName = 0xA000,
    kAmbient = 0xA010,
    kDiffuse = 0xA020,
    kSpecular = 0xA030,
    kKeyframes = 0xB000,
    kObjectNode = 0xB002,
    kCameraNode = 0xB003,
    kTargetNode = 0xB004,
    kLightNode = 0xB005,
    kLightTargetNode = 0xB006,
    kSpotlightNode = 0xB007,
    kSegment = 0xB008,
    kKeyframeHeader = 0xB00A,
    kNodeHeader = 0xB010,
    kPivot = 0xB013,
    kPositionTrack = 0xB020,
    kRotationTrack = 0xB021,
    kScaleTrack = 0xB022,
    kRollTrack = 0xB024,
    kColourTrack = 0xB025,
    kHotspotTrack = 0xB027,
    kFalloffTrack = 0xB028,
    kNodeId = 0xB030,
};

constexpr double kPi = 3.14159265358979323846;

using Rgb = std::array<uint8_t, 3>;

void put_vec(ChunkWriter& w, const Vec3& v) {
    for (double c : v)
        write_float(w, static_cast<float>(c));
}

void put_u32_chunk(ChunkWriter& w, uint16_t id, uint32_t value) {
    begin_chunk(w, id);
    write_u32(w, value);
    end_chunk(w);
}

void put_float_chunk(ChunkWriter& w, uint16_t id, float value) {
    begin_chunk(w, id);
    write_float(w, value);
    end_chunk(w);
}

void put_empty_chunk(ChunkWriter& w, uint16_t id) {
    begin_chunk(w, id);
    end_chunk(w);
}

void put_byte_colour(ChunkWriter& w, uint16_t id, const Rgb& rgb) {
    begin_chunk(w, id);
    begin_chunk(w, kColourBytes);
    for (uint8_t c : rgb)
        write_u8(w, c);
    end_chunk(w);
    end_chunk(w);
}

void put_float_colour(ChunkWriter& w, float r, float g, float b) {
    begin_chunk(w, kColourFloat);
    write_float(w, r);
    write_float(w, g);
    write_float(w, b);
    end_chunk(w);
}

void put_material(ChunkWriter& w, std::string_view name, const Rgb& diffuse) {
    begin_chunk(w, kMaterial);
    begin_chunk(w, kMaterialName);
    write_name(w, name);
    end_chunk(w);
    put_byte_colour(w, kAmbient,
                    {static_cast<uint8_t>(diffuse[0] / 4), static_cast<uint8_t>(diffuse[1] / 4),
                     static_cast<uint8_t>(diffuse[2] / 4)});
    put_byte_colour(w, kDiffuse, diffuse);
    put_byte_colour(w, kSpecular, {229, 229, 229});
    end_chunk(w);
}

void put_mesh(ChunkWriter& w, const BundledMesh& mesh) {
    const ShapeMesh& s = mesh.shape;
    begin_chunk(w, kNamedObject);
    write_name(w, mesh.name);
    begin_chunk(w, kTriangleMesh);

    begin_chunk(w, kVertexList);
    write_u16(w, static_cast<uint16_t>(s.positions.size()));
    for (const Vec3& p : s.positions)
        put_vec(w, p);
    end_chunk(w);

    begin_chunk(w, kMapping);
    write_u16(w, static_cast<uint16_t>(s.uv.size()));
    for (const auto& uv : s.uv) {
        write_float(w, uv[0]);
        write_float(w, uv[1]);
    }
    end_chunk(w);

    begin_chunk(w, kLocalAxes);
    for (const Vec3& row : mesh.local_axes)
        put_vec(w, row);
    end_chunk(w);

    begin_chunk(w, kFaceList);
    write_u16(w, static_cast<uint16_t>(s.faces.size()));
    for (const auto& f : s.faces) {
        write_u16(w, f[0]);
        write_u16(w, f[1]);
        write_u16(w, f[2]);
        write_u16(w, 0x0007); // all three edges visible
    }
    for (const MaterialGroup& g : mesh.groups) {
        begin_chunk(w, kFaceMaterial);
        write_name(w, g.material);
        write_u16(w, static_cast<uint16_t>(g.faces.size()));
        for (uint16_t f : g.faces)
            write_u16(w, f);
        end_chunk(w);
    }
    begin_chunk(w, kSmoothing);
    for (size_t i = 0; i < s.faces.size(); ++i)
        write_u32(w, 1);
    end_chunk(w);
    end_chunk(w); // face list

    end_chunk(w); // triangle mesh
    end_chunk(w); // named object
}

// The lights as the editor places them; their key-frame nodes start from the same values.
const Vec3 kSunPosition{90, -120, 140};
const std::array<float, 3> kSunColour = {1.0f, 0.95f, 0.8f};
const Vec3 kSpotPosition{-100, -80, 160};
const Vec3 kSpotTarget{0, 0, 0};
const std::array<float, 3> kSpotColour = {0.4f, 0.6f, 1.0f};
constexpr float kSpotHotspot = 30.0f; // degrees
constexpr float kSpotFalloff = 45.0f; // degrees

void put_light(ChunkWriter& w) {
    begin_chunk(w, kNamedObject);
    write_name(w, kBundledLights[0]);
    begin_chunk(w, kLight);
    put_vec(w, kSunPosition);
    put_float_colour(w, kSunColour[0], kSunColour[1], kSunColour[2]);
    put_float_chunk(w, kMultiplier, 1.0f);
    end_chunk(w);
    end_chunk(w);

    begin_chunk(w, kNamedObject);
    write_name(w, kBundledLights[1]);
    begin_chunk(w, kLight);
    put_vec(w, kSpotPosition);
    put_float_colour(w, kSpotColour[0], kSpotColour[1], kSpotColour[2]);
    begin_chunk(w, kSpotlight);
    put_vec(w, kSpotTarget);
    write_float(w, kSpotHotspot);
    write_float(w, kSpotFalloff);
    end_chunk(w);
    put_empty_chunk(w, kLightOff);
    put_empty_chunk(w, kRaytraceShadow);
    put_float_chunk(w, kInnerRange, 50.0f);
    put_float_chunk(w, kOuterRange, 400.0f);
    put_float_chunk(w, kMultiplier, 1.5f);
    end_chunk(w);
    end_chunk(w);
}

const Vec3 kCameraPosition{0, -160, 70};
const Vec3 kCameraTarget{0, 0, 0};

void put_camera(ChunkWriter& w) {
    begin_chunk(w, kNamedObject);
    write_name(w, kBundledCamera);
    begin_chunk(w, kCamera);
    put_vec(w, kCameraPosition);
    put_vec(w, kCameraTarget);
    write_float(w, 0.0f);  // bank
    write_float(w, 35.0f); // lens, mm
    end_chunk(w);
    end_chunk(w);
}

void put_track_header(ChunkWriter& w, uint32_t keys) {
    write_u16(w, 0); // no looping
    for (int i = 0; i < 4; ++i)
        write_u16(w, 0);
    write_u32(w, keys);
}

// A key header; a non-zero tension sets flag bit 0 and adds its float.
void put_key_header(ChunkWriter& w, uint32_t frame, float tension) {
    write_u32(w, frame);
    write_u16(w, tension != 0.0f ? 0x0001 : 0x0000);
    if (tension != 0.0f) write_float(w, tension);
}

struct PositionKey {
    uint32_t frame;
    Vec3 position;
};

void put_position_track(ChunkWriter& w, const std::vector<PositionKey>& keys) {
    begin_chunk(w, kPositionTrack);
    put_track_header(w, static_cast<uint32_t>(keys.size()));
    for (size_t i = 0; i < keys.size(); ++i) {
        put_key_header(w, keys[i].frame, i == 1 ? 0.5f : 0.0f);
        put_vec(w, keys[i].position);
    }
    end_chunk(w);
}

void put_node_header(ChunkWriter& w, uint16_t node_id, std::string_view name, uint16_t parent) {
    begin_chunk(w, kNodeId);
    write_u16(w, node_id);
    end_chunk(w);
    begin_chunk(w, kNodeHeader);
    write_name(w, name);
    write_u16(w, 0x4000); // flags
    write_u16(w, 0);
    write_u16(w, parent);
    end_chunk(w);
}

void put_object_node(ChunkWriter& w, uint16_t node_id, const BundledMesh& mesh, int turns) {
    begin_chunk(w, kObjectNode);
    put_node_header(w, node_id, mesh.name, mesh.parent_node);
    begin_chunk(w, kPivot);
    put_vec(w, {0, 0, 0});
    end_chunk(w);
    put_position_track(w, {{0, {0, 0, 0}}, {31, {0, 0, 4}}, {62, {0, 0, 0}}});

    begin_chunk(w, kRotationTrack);
    put_track_header(w, 3);
    const float step = static_cast<float>(turns * kPi);
    const Vec3 axes[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    const uint32_t frames[3] = {0, 31, 62};
    for (int k = 0; k < 3; ++k) {
        put_key_header(w, frames[k], k == 1 ? 0.25f : 0.0f);
        write_float(w, k == 0 ? 0.0f : step);
        put_vec(w, axes[k]);
    }
    end_chunk(w);

    begin_chunk(w, kScaleTrack);
    put_track_header(w, 1);
    put_key_header(w, 0, 0.0f);
    put_vec(w, {1, 1, 1});
    end_chunk(w);
    end_chunk(w);
}

void put_camera_nodes(ChunkWriter& w, uint16_t first_id) {
    begin_chunk(w, kCameraNode);
    put_node_header(w, first_id, kBundledCamera, 0xFFFF);
    put_position_track(w, {{0, kCameraPosition}, {62, {160, 0, 70}}});
    end_chunk(w);

    begin_chunk(w, kTargetNode);
    put_node_header(w, static_cast<uint16_t>(first_id + 1), kBundledCamera, 0xFFFF);
    put_position_track(w, {{0, kCameraTarget}});
    end_chunk(w);
}

// A track of one key at frame 0 holding a single float (roll, hotspot or falloff, in degrees).
void put_float_track(ChunkWriter& w, uint16_t id, float value) {
    begin_chunk(w, id);
    put_track_header(w, 1);
    put_key_header(w, 0, 0.0f);
    write_float(w, value);
    end_chunk(w);
}

void put_colour_track(ChunkWriter& w, const std::array<float, 3>& colour) {
    begin_chunk(w, kColourTrack);
    put_track_header(w, 1);
    put_key_header(w, 0, 0.0f);
    for (float c : colour)
        write_float(w, c);
    end_chunk(w);
}

// Every light of the editor has a node, as 3D Studio writes them: readers that build a scene
// graph from the key-frame data (rather than from the editor's objects) look lights up by their
// node. The omni light gets a light node, the spotlight a spotlight node and a light target node.
// They hold one key each, at the values the editor gives, so the scene at frame 0 is the same
// whichever part a reader believes.
void put_light_nodes(ChunkWriter& w, uint16_t first_id) {
    begin_chunk(w, kLightNode);
    put_node_header(w, first_id, kBundledLights[0], 0xFFFF);
    put_position_track(w, {{0, kSunPosition}});
    put_colour_track(w, kSunColour);
    end_chunk(w);

    begin_chunk(w, kSpotlightNode);
    put_node_header(w, static_cast<uint16_t>(first_id + 1), kBundledLights[1], 0xFFFF);
    put_position_track(w, {{0, kSpotPosition}});
    put_colour_track(w, kSpotColour);
    put_float_track(w, kHotspotTrack, kSpotHotspot);
    put_float_track(w, kFalloffTrack, kSpotFalloff);
    put_float_track(w, kRollTrack, 0.0f);
    end_chunk(w);

    begin_chunk(w, kLightTargetNode);
    put_node_header(w, static_cast<uint16_t>(first_id + 2), kBundledLights[1], 0xFFFF);
    put_position_track(w, {{0, kSpotTarget}});
    end_chunk(w);
}

void put_keyframes(ChunkWriter& w, const std::vector<BundledMesh>& meshes) {
    begin_chunk(w, kKeyframes);
    begin_chunk(w, kKeyframeHeader); // not read by the loader: skipped by its length
    write_u16(w, 5);
    write_name(w, "KALVORANT");
    write_u32(w, 100);
    end_chunk(w);
    begin_chunk(w, kSegment);
    write_u32(w, static_cast<uint32_t>(kBundledFirstFrame));
    write_u32(w, static_cast<uint32_t>(kBundledLastFrame));
    end_chunk(w);
    for (size_t i = 0; i < meshes.size(); ++i) {
        put_object_node(w, static_cast<uint16_t>(i), meshes[i], static_cast<int>(i % 2) + 1);
    }
    put_camera_nodes(w, static_cast<uint16_t>(meshes.size()));
    put_light_nodes(w, static_cast<uint16_t>(meshes.size() + 2));
    end_chunk(w);
}

// Faces split between two materials by a rule that makes visible bands; every seventh face is
// left out of both groups so that some faces keep "no material".
std::vector<MaterialGroup> banded_groups(const ShapeMesh& s, std::string_view first,
                                         std::string_view second, size_t band) {
    MaterialGroup a{std::string(first), {}}, b{std::string(second), {}};
    for (size_t i = 0; i < s.faces.size(); ++i) {
        if (i % 7 == 6) continue;
        ((i / band) % 2 == 0 ? a : b).faces.push_back(static_cast<uint16_t>(i));
    }
    return {a, b};
}

const std::array<Vec3, 4> kIdentityAxes = {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1},
                                           Vec3{0, 0, 0}};

} // namespace

std::vector<BundledMesh> bundled_meshes() {
    std::vector<BundledMesh> meshes;

    // Drawn first, so the sphere after it hides the strands that pass behind it and, with no
    // depth buffer, also those in front: the draw order is part of the look.
    BundledMesh knot{"Knot", make_knot(40.0, 8.0, 2, 3, 96, 6), kIdentityAxes, {}, 0xFFFF};
    knot.groups = banded_groups(knot.shape, kBundledMaterials[1], kBundledMaterials[2], 40);
    meshes.push_back(std::move(knot));

    BundledMesh core{"Core", make_icosphere(30.0, 3), kIdentityAxes, {}, 0};
    core.groups = banded_groups(core.shape, kBundledMaterials[0], kBundledMaterials[1], 80);
    meshes.push_back(std::move(core));

    // The bar lies along the file's X axis, through the sphere and the knot's hole.
    BundledMesh bar{"Spindle", make_twisted_bar(130.0, 7.0, kPi, 24), {}, {}, 0};
    const std::array<Vec3, 3> along_x = {Vec3{0, 1, 0}, Vec3{0, 0, 1}, Vec3{1, 0, 0}};
    rotate_shape(bar.shape, along_x);
    bar.local_axes = {along_x[0], along_x[1], along_x[2], Vec3{0, 0, 0}};
    bar.groups = banded_groups(bar.shape, kBundledMaterials[2], kBundledMaterials[0], 8);
    meshes.push_back(std::move(bar));

    // The ring is tilted 60 degrees about X so that it crosses the knot.
    BundledMesh ring{"Ring", make_torus(63.0, 5.0, 64, 6), {}, {}, 0xFFFF};
    const double c = shape_cos(kPi / 3), s = shape_sin(kPi / 3);
    const std::array<Vec3, 3> tilt = {Vec3{1, 0, 0}, Vec3{0, c, s}, Vec3{0, -s, c}};
    rotate_shape(ring.shape, tilt);
    ring.local_axes = {tilt[0], tilt[1], tilt[2], Vec3{0, 0, 0}};
    ring.groups = banded_groups(ring.shape, kBundledMaterials[0], kBundledMaterials[2], 60);
    meshes.push_back(std::move(ring));
    return meshes;
}

bool build_bundled_scene(std::vector<uint8_t>& out, std::string& error) {
    const std::vector<BundledMesh> meshes = bundled_meshes();
    ChunkWriter w;
    begin_chunk(w, kMain);
    put_u32_chunk(w, kVersion, 3);
    begin_chunk(w, kEditor);
    put_u32_chunk(w, kMeshVersion, 3);
    put_material(w, kBundledMaterials[0], {184, 115, 51});
    put_material(w, kBundledMaterials[1], {181, 166, 66});
    put_material(w, kBundledMaterials[2], {160, 168, 176});
    put_float_chunk(w, kMasterScale, 1.0f);
    for (const BundledMesh& mesh : meshes)
        put_mesh(w, mesh);
    put_light(w);
    put_camera(w);
    end_chunk(w); // editor
    put_keyframes(w, meshes);
    end_chunk(w); // main
    if (!finish(w, out)) {
        error = "internal error: unbalanced chunks in the bundled scene";
        return false;
    }
    return true;
}
