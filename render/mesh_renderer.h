// mesh_renderer.h - draws one triangle mesh flat-shaded into the frame buffer.
//
// Spaces: the mesh matrix maps object space to world space, the camera matrix maps camera space
// to world space (draw_mesh inverts it). Camera space looks along +z; screen coordinates as in
// view.h. Faces are culled in object space against the camera position, clipped by the view's
// frustum, shaded by the angle between the camera-space face normal and the z axis (intensity
// 0..255 scales each channel of the base colour, divided by 256), projected, and filled in face
// order with no depth buffer: a later face covers an earlier one.
//
// Ownership: the mesh and matrices are only read; pixels inside the frame are written (frame.h: a
// frame that is not drawable gets nothing). The renderer object (renderer.h) brings the view,
// which setup_view must have filled, and the scratch buffers: the faces that turn towards the
// camera are listed first, and only the vertices they use are transformed, into the renderer's
// buffers. Reserve them once with draw_mesh_reserve (the demo does, at start-up) and draw_mesh
// allocates nothing. A mesh larger than the reservation grows the buffers on that call (when that
// fails, every vertex is transformed). Two renderers may draw at the same time on two threads.
// Failure: nothing is reported. Faces with a non-finite plane are never culled and are filled
// black; polygons reaching closer than z = 0.1 are dropped whole. Faces whose vertex indices lie
// outside the mesh's vertex array (the loader rejects such meshes) are skipped, not read.
#pragma once

#include "render/frame.h"
#include "scene/math3d.h"
#include "scene/scene.h"

#include <cstdint>

struct Renderer;

// Shade of base_colour (0x00RRGGBB, top byte ignored) at intensity 0..255.
uint32_t shade_colour(uint32_t base_colour, int32_t intensity);

// Intensity 0..255 for a camera-space face normal: |nz / length| * 255, truncated; 0 when the
// normal has no length or is not finite.
int32_t face_intensity(double nx, double ny, double nz);

// Grows the buffers draw_mesh keeps in renderer to what a mesh of vertex_count vertices and
// face_count faces needs. Returns false when that allocation fails.
bool draw_mesh_reserve(Renderer& renderer, int32_t vertex_count, size_t face_count);

void draw_mesh(Renderer& renderer, const Matrix4& mesh_matrix, const Matrix4& camera_matrix,
               const MeshObject& mesh, const Frame& frame, uint32_t colour);
