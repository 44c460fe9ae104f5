// bundled_scene.h - the scene shipped as assets/object.3ds, built in memory.
//
// Four closed meshes centred on the origin (a sphere inside a knot, a bar through both, a tilted
// ring around everything), about 130 units across in the file's axes; three materials with face
// groups; a coloured omni light and a spotlight (switched off, with ranges and a multiplier); a
// camera; and key-frame data with object, camera and target nodes carrying position and rotation
// tracks, and a node for each light (a spotlight's target too), so that readers which find lights
// through the key-frame nodes accept the file. Everything the loader understands is exercised, with
// a few chunks it skips mixed in.
//
// The bytes are deterministic: no clock, no randomness, and trigonometry that rounds the same on
// every machine (scene_shapes.h), so regenerating must reproduce the committed file exactly.
//
// Ownership: plain values. Failure: build_bundled_scene returns false with a reason only if the
// chunk writer reports a nesting error, which would be a bug in this file.
#pragma once

#include "tools/scene_shapes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct MaterialGroup {
    std::string material;
    std::vector<uint16_t> faces;
};

struct BundledMesh {
    std::string name;
    ShapeMesh shape;
    std::array<Vec3, 4> local_axes; // X, Y, Z axes and origin, file axes
    std::vector<MaterialGroup> groups;
    uint16_t parent_node = 0xFFFF; // 0xFFFF: no parent
};

inline constexpr std::array<std::string_view, 3> kBundledMaterials = {"Copper", "Brass", "Steel"};
inline constexpr std::array<std::string_view, 2> kBundledLights = {"Sun", "Spot01"};
inline constexpr std::string_view kBundledCamera = "Camera01";
inline constexpr int32_t kBundledFirstFrame = 0;
inline constexpr int32_t kBundledLastFrame = 62; // one turn of the demo's 63-frame cycle

// The meshes in file order, names and geometry exactly as written.
std::vector<BundledMesh> bundled_meshes();

// The whole .3ds file.
bool build_bundled_scene(std::vector<uint8_t>& out, std::string& error);
