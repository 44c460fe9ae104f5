// scene.h - the records a loaded 3D Studio scene lives in.
//
// Plain data with no behaviour: load_scene (chunk_reader.h) fills them, the demo spins the mesh
// matrices every frame, draw_mesh reads vertices, faces and face planes.
//
// Axes: every position (vertex, light, spotlight target, position keys, rotation-key axes) is
// stored in scene axes: the file's (X, Y, Z) becomes (X, Z, Y). Swapping two axes mirrors the
// geometry, so each triangle's file indices a, b, c are stored in the order a, c, b to keep its
// orientation. Three things keep the file's order: a camera chunk's position and target, a
// mesh's local-axes matrix, and colours.
//
// Units: reals are 32-bit floats, counts and indices 32-bit signed integers. Every record starts
// value-initialised (all zeros, every matrix all zeros; the exceptions are Face::material, -1
// until a material group names the face, and a material's texture scale and strength, 1 until the
// file says otherwise), so nothing is ever read uninitialised.
//
// Invariants the loader guarantees and the renderer relies on (draw_mesh does not re-check them):
//   * each count equals the size of its array (vertex_count == vertices.size(), and so on);
//   * every Face::v[k] is in [0, vertex_count) of its own mesh;
//   * a track's arrays all hold exactly the owning record's key count of entries;
//   * node_count == nodes.size(); a node's parent_node is -1 or smaller than its own index, so
//     the hierarchy has no cycles and parents come first; a node's record is -1 or a valid
//     index of its kind.
// Ownership: the Scene owns everything hanging from it; copying a Scene copies it whole (faces
// refer to vertices by index, so a copy never points into the original).
#pragma once

#include "scene/math3d.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Vertex {
    float x = 0, y = 0, z = 0;    // position, scene axes
    float u = 0, v = 0;           // mapping coordinates (0 when the mesh has none)
    float nx = 0, ny = 0, nz = 0; // unit vertex normal, derived after loading
};

struct Face {
    int32_t material = -1;      // index into Scene::materials; -1 when no material group
                                // lists the face or its group names no known material
    std::array<int32_t, 3> v{}; // first, second, third vertex (indices into the mesh)
    Plane plane;                // unit-normal plane of the face, derived after loading
    uint32_t smoothing = 0;     // smoothing-group bits (bit k: group k + 1); 0: in no group
};

// Keys of one position track as parallel arrays; the key count lives in the owning record.
struct PositionTrack {
    std::vector<float> frame, x, y, z; // x, y, z in scene axes
};

// Keys of one rotation track as parallel arrays; the key count lives in the owning mesh.
struct RotationTrack {
    std::vector<float> frame, angle, axis_x, axis_y, axis_z; // axis in scene axes
};

// One key of a key-frame track, as the file gives it. The spline parameters a key's flag bits
// leave out are 0, the format's default.
struct TrackKey {
    float frame = 0;                             // key frame number (the low 16 bits of the file's)
    float tension = 0, continuity = 0, bias = 0; // shape of the curve through the key, -1..1
    float ease_to = 0, ease_from = 0;            // slowing towards and away from the key, 0..1
    // position and scale: x, y, z in scene axes; rotation: the angle in radians, relative to the
    // previous key, then the axis x, y, z in scene axes; field of view and roll: degrees in
    // value[0]; hide: nothing (each key turns the node's visibility over).
    std::array<float, 4> value{};
};

// The keys of one track and the track header's flags. The low two bits of the flags say what
// happens past the last key: 3 loops the track, 2 repeats it, anything else holds the last key.
struct KeyTrack {
    int32_t flags = 0; // as stored
    bool loop = false;
    bool repeat = false;
    std::vector<TrackKey> keys;
};

// What kind of key-frame node a KeyframeNode is. An object node that names no mesh (the format's
// "$$$DUMMY" nodes, or a mesh the file lacks) is a dummy: a member of the hierarchy that
// carries children but draws nothing.
enum class KeyframeNodeType : int32_t { object, dummy, camera, target };

// The node header's parent value that means "no parent".
constexpr int32_t kNoParentNode = 65535;

// One node of the key-frame hierarchy, in file order.
struct KeyframeNode {
    KeyframeNodeType type = KeyframeNodeType::dummy;
    int32_t node_id = -1;           // from the node id chunk, -1 when the node has none
    std::string name;               // from the node header, at most 63 bytes
    std::string instance_name;      // from the instance name chunk, else empty
    int32_t parent = kNoParentNode; // the header's parent field as stored
    int32_t parent_node = -1;       // index in Scene::nodes of the node that parent names, among
                                    // the nodes before this one; -1 when none does
    int32_t record = -1;            // object: index in Scene::meshes; camera and target:
                                    // index in Scene::cameras; -1 otherwise
    std::array<float, 3> pivot{};   // scene axes
    KeyTrack position, rotation, scale; // object, dummy; camera and target use position only
    KeyTrack fov, roll;                 // camera nodes
    KeyTrack hide;                      // object and dummy nodes
};

struct MeshObject {
    int32_t node_id = 0;      // id of the key-frame object node naming this mesh, else 0
    std::string name;         // at most 63 bytes
    int32_t vertex_count = 0; // 0..65535
    int32_t face_count = 0;   // 0..65535
    std::vector<Face> faces;
    std::vector<Vertex> vertices;
    Matrix4 matrix;     // local axes from the file; the demo resets it to identity
    int32_t parent = 0; // parent index of the naming node header (0..65535), else 0
    int32_t position_key_count = 0;
    int32_t rotation_key_count = 0;
    PositionTrack position_track;
    RotationTrack rotation_track;
};

struct Camera {
    std::string name;
    Matrix4 matrix;                  // from the first track keys, identity without them
    std::array<float, 3> position{}; // file axis order
    std::array<float, 3> target{};   // file axis order
    float bank = 0;
    float lens = 0;
    int32_t target_key_count = 0;
    int32_t position_key_count = 0;
    PositionTrack target_track;
    PositionTrack position_track;
};

struct Light {
    std::string name;
    int32_t spot = 0;                   // 1 when the light has a spotlight chunk
    int32_t off = 0;                    // 1 when the light has an off chunk
    int32_t raytrace_shadow = 0;        // 1 when the light has a ray-traced shadow chunk
    std::array<float, 3> position{};    // scene axes
    std::array<float, 3> spot_target{}; // scene axes
    float hotspot = 0, falloff = 0;
    float inner_range = 0, outer_range = 0;
    float multiplier = 0;
    std::array<float, 3> colour{};       // red, green, blue as stored
    std::array<int32_t, 3> colour_int{}; // each colour * 255, truncated (saturated, NaN -> 0)
};

// What the model look needs of a material. Every value is in range whatever the file holds: a
// chunk that is short, malformed or out of range leaves the default below.
//
// Colours are red, green, blue in 0..1. A colour chunk may hold a gamma-corrected form (float or
// 24-bit) and a linear form (float or 24-bit); when both are present the gamma-corrected one wins,
// whatever their order: it is the colour the author saw on screen, and our frames go to the
// screen without a gamma step. Among forms of the same kind the last one read wins.
//
// Percentages (shininess, its strength, transparency, self-illumination, the texture's strength)
// are stored as fractions 0..1. The texture fields describe the first texture map only.
struct Material {
    std::string name; // at most 63 bytes
    std::array<float, 3> ambient{}, diffuse{}, specular{};
    bool ambient_set = false, diffuse_set = false, specular_set = false; // the file gave the colour
    float shininess = 0;                                                 // 0..1
    float shininess_strength = 0;                                        // 0..1
    float transparency = 0;                                              // 0 opaque .. 1 invisible
    bool two_sided = false;                                              // drawn from both sides
    float self_illum = 0;                                                // 0 lit .. 1 unshaded
    std::string texture{};      // file name as the file gives it (at most 63 bytes); empty: none
    float texture_strength = 1; // how much of the picture replaces the diffuse colour, 0..1
    std::array<float, 2> texture_scale{1, 1};  // u, v tiling factors, finite
    std::array<float, 2> texture_offset{0, 0}; // u, v offsets, finite
};

struct Scene {
    int32_t keyframe_start = 0;
    int32_t keyframe_end = 0;
    int32_t mesh_count = 0;
    int32_t camera_count = 0;
    int32_t light_count = 0;
    int32_t material_count = 0;
    std::vector<MeshObject> meshes;  // file order
    std::vector<Camera> cameras;     // file order
    std::vector<Light> lights;       // file order
    std::vector<Material> materials; // file order
    int32_t node_count = 0;
    std::vector<KeyframeNode> nodes; // key-frame nodes, file order
};
