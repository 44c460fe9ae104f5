// model_mesh.h - what the model look works out once per mesh: the colour rules of each material
// and the normals of smooth shading, from the smoothing groups.
//
// Colours (ModelMaterial, all channels 0..255 once lit):
//   * a face is its material's diffuse colour; a face without a material, or whose material gives
//     no diffuse colour, is light grey (kModelGrey);
//   * it is lit by one light at the eye: the colour is kAmbientLight times the material's ambient
//     colour (its diffuse colour when it gives none) plus kEyeLight times the diffuse colour times
//     the cosine between the surface normal and the direction to the eye (for a face in no
//     smoothing group, the line of sight: a flat face has one colour, and so has a flat side
//     made of several faces);
//   * a material with shininess and shininess strength adds a highlight: its specular colour
//     (white when it gives none) times the strength times the cosine to the power
//     kMaxSpecularExponent * shininess (at least 1); with the light at the eye, the half vector
//     of the highlight is that same direction;
//   * a self-illuminated material blends towards its unlit diffuse colour by its
//     self-illumination: fully self-illuminated faces are unshaded;
//   * transparency is not drawn: every face is opaque.
//
// Smooth shading, as 3D Studio does it: a corner of a face takes the normal of every face that
// shares the corner's vertex (the same vertex index, not merely the same place) and at least one
// smoothing-group bit with it, each weighted by its angle at that vertex. A vertex shared by faces
// with no common bit thus gets a normal per group, and a face in no group (bits 0) stays flat: its
// corners take its own normal, and it lends its normal to no neighbour.
//
// Spaces: normals are in the mesh's object space; the face plane's normal (A, B, C) points away
// from the side a face is seen from (mesh_renderer.h), so the surface normal is its opposite.
// Ownership: plain values; a ModelMesh belongs to the mesh it was made from and stays right as
// long as that mesh's vertices, faces and materials do (mesh matrices may change freely).
// Failure: prepare_model_mesh returns false only when memory runs out. Faces with indices outside
// the mesh and non-finite normals are tolerated: such a face contributes to no other corner, and
// a corner whose normal sums to nothing takes its face's own normal.
#pragma once

#include "render/texture_sampler.h"
#include "scene/scene.h"

#include <cstdint>
#include <span>
#include <vector>

constexpr float kModelGrey = 0.8f;             // light grey, 0..1
constexpr float kAmbientLight = 0.25f;         // share of the ambient colour everywhere
constexpr float kEyeLight = 0.75f;             // share of the diffuse colour facing the eye
constexpr float kMaxSpecularExponent = 128.0f; // at shininess 1

// One material's colour rules, each channel 0..255: a lit colour is
// base + diffuse * cosine + specular * cosine^exponent, clamped to 0..255.
struct ModelMaterial {
    float base[3] = {};     // ambient light and self-illumination: what a face gets facing away
    float diffuse[3] = {};  // times the cosine to the eye
    float specular[3] = {}; // times the cosine to the power exponent; all 0: no highlight
    float exponent = 1;
    bool has_specular = false;
    bool two_sided = false;
    // A material whose picture was found: its texel stands in for the diffuse colour, so the
    // colour rules above are those of a white material, and the span filling multiplies the
    // texel by the lit colour (a highlight brightens the texel rather than whitening it).
    bool textured = false;
    TextureMapping texture;
};

// The colour rules of material, or of a face without one (nullptr); picture: the material's
// decoded texture, or nullptr when it has none or it was not found. The picture is borrowed: it
// must outlive every frame drawn with the result.
ModelMaterial model_material(const Material* material, const TextureImage* picture = nullptr);

// A normal shared by the corners of one or more faces of one material at one vertex.
struct ShadingPoint {
    uint32_t vertex = 0;          // index into the mesh's vertices
    uint32_t material = 0;        // index into ModelMesh::materials
    float nx = 0, ny = 0, nz = 0; // unit surface normal, object space (0, 0, 0 when none)
};

constexpr uint32_t kFlatFace = 0xFFFFFFFFu; // ModelFace::shade of a face in no smoothing group

constexpr uint32_t kUndrawnFace = 0xFFFFFFFFu; // ModelFace::material of a face with bad indices

struct ModelFace {
    uint32_t shade[3] = {kFlatFace, kFlatFace, kFlatFace}; // shading points of the corners
    uint32_t material = 0; // index into ModelMesh::materials, or kUndrawnFace
};

// A face's unit surface normal, object space; (0, 0, 0) when the face has none.
struct FaceNormal {
    float nx = 0, ny = 0, nz = 0;
};

struct ModelMesh {
    std::vector<ModelMaterial> materials; // those the faces use (and the one for no material)
    std::vector<ModelFace> faces;         // one per face of the mesh, in order
    std::vector<FaceNormal> normals;      // one per face: what lights a face in no group
    std::vector<ShadingPoint> points;
    size_t vertex_count = 0; // the mesh's, when the faces' indices were checked
    bool plain = false;      // every face drawable (good indices) and of a one-sided material
};

// Works out mesh's shading with the scene's materials. False when memory runs out (out is then
// incomplete and must not be drawn).
// pictures: per material, its decoded texture or nullptr (an empty span: no textures at all).
bool prepare_model_mesh(const MeshObject& mesh, std::span<const Material> materials, ModelMesh& out,
                        std::span<const TextureImage* const> pictures = {});
