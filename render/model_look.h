// model_look.h - the model look: meshes drawn as their authors made them, with a depth buffer,
// material colours, two-sided materials and smooth shading (model_mesh.h has the colour and
// smoothing rules).
//
// A frame: begin_model_frame clears the pixels to black and the depth buffer to "nothing yet",
// then draw_model_mesh draws each mesh, in any order: each pixel shows the nearest face.
// Per mesh, every vertex is transformed and projected (four at a time), the faces that turn
// towards the camera are kept (and those of two-sided materials that turn away, lit from their
// back as if it were their front), those that cover no pixel centre are dropped, and the shading
// points of the rest lit once each (Gouraud: the colour is worked out at the corners and
// interpolated across the face, see below). Each face is then cut by the near plane
// (z = kModelNearZ) and by planes a little outside the frame's borders, projected, and handed to
// the span filling as ShadedTriangle records (shaded_fill.h): a face that crosses the near plane
// is cut there, never dropped, so a camera inside a model sees every wall around it.
// A face whose bounds hold at most two by two pixel centres, each clearly inside or outside it,
// skips the span filling's search: it fills the very pixels that filling would, each with its
// values at the pixel's centre (most faces of a dense mesh far away are such).
// Each triangle is filled at once on the calling thread, while its numbers are still at hand.
// (Filling bands of rows on several threads after one thread's geometry measured slower than one
// thread alone on two cores.)

// Why colours and not normals are interpolated: lighting once per shading point shares the work
// between the faces around a vertex, and the per-pixel loop stays a depth test and three
// additions, which keeps a frame of a dense mesh within twice the demo look's time. The price is
// the classic one: a highlight smaller than a face is blurred or missed.
//
// Spaces and units as in mesh_renderer.h and view.h; the view is the renderer's (renderer.h).
// Ownership: the renderer object keeps the depth buffer and the per-mesh scratch buffers (they
// grow to the largest frame and mesh drawn, then frames allocate nothing). The mesh, its
// ModelMesh and the matrices are only read.
// Failure: begin_model_frame returns false when the depth buffer cannot grow (nothing is then
// drawn into that frame); draw_model_mesh draws nothing of a mesh whose buffers cannot grow or
// that uses more than kMaxModelMaterials materials, nor faces whose vertex indices lie outside
// the mesh or whose ModelMesh does not match the mesh.
#pragma once

#include "render/frame.h"
#include "render/model_mesh.h"
#include "render/shaded_fill.h"
#include "scene/math3d.h"
#include "scene/scene.h"

#include <cstdint>
#include <span>
#include <vector>

struct Renderer;

constexpr float kModelNearZ = 0.1f;

// A mesh vertex as the model look's faces see it in the current frame, in three records that
// the steps of a frame read apart (index i of each is vertex i): where it lies in camera space,
// where on the screen, and on which side of the planes a face is cut by. The face tests that
// drop most faces of a dense mesh read only the two small ones.
struct ModelVertex {
    float x = 0, y = 0, z = 0; // camera space
    float inv_z = 0;           // when in front of the near plane
};

// Meaningful when the vertex lies beyond no plane.
struct ScreenPlace {
    float sx = 0, sy = 0;        // screen pixels
    int32_t column = 0, row = 0; // the first pixel centre at or after (sx, sy)
};

// Bit 0: nearer than the near plane, bits 1..4: beyond a border plane.
using VertexSides = uint8_t;

// The most materials a mesh drawn in the model look may use (far beyond what memory holds).
constexpr size_t kMaxModelMaterials = size_t(1) << 28;

// A face kept for drawing, with what the later steps of a frame read of it: they take the kept
// faces in order from one compact list, instead of picking them out of the mesh's face arrays,
// which a dense mesh has long pushed out of the processor's caches by then.
struct ModelListedFace {
    uint32_t v[3];          // vertex indices, checked
    uint32_t shade[3];      // shading points, as ModelFace::shade
    uint32_t material : 28; // index into ModelMesh::materials, checked
    uint32_t covered : 4;   // the pixels it is known to cover, as fill_shaded_block takes them
    uint32_t face : 31;
    uint32_t back : 1; // 1: a two-sided face seen from behind
};

// The model look's buffers in the renderer object.
struct ModelScratch {
    std::vector<float> depth;
    std::vector<ModelVertex> vertices;
    std::vector<ScreenPlace> screen;
    std::vector<VertexSides> sides;
    std::vector<ModelListedFace> faces;
    std::vector<uint8_t> point_sides; // per shading point: bit 0 front needed, bit 1 back
    // Per shading point, r, g, b: first lit from the front, each point in turn, then from the back.
    std::vector<float> point_colours;
};

bool begin_model_frame(Renderer& renderer, const Frame& frame);

void draw_model_mesh(Renderer& renderer, const ModelMesh& shading, const MeshObject& mesh,
                     const Matrix4& mesh_matrix, const Matrix4& camera_matrix, const Frame& frame);
