// geometry.h - what load_scene derives after reading: face planes, vertex normals, camera
// matrices.
//
// Positions are in scene axes (see scene.h). Arithmetic is carried in double precision and each
// stored value is rounded to float once, so a loaded scene is identical on every compiler: a face
// plane's A, B, C are rounded before D is formed from them, normal sums accumulate in double.
//
// Degenerate input is not an error: a face of zero area gets the non-finite plane the arithmetic
// gives, a camera whose target coincides with its position the non-finite matrix it gives; the
// renderer tolerates both. A vertex whose normal sum is exactly zero (no face touches it, or the
// touching normals cancel) gets the normal (0, 0, 0). Nothing here fails or keeps state; every
// function only writes into the record it is given. Face vertex indices must be in range, which
// the loader guarantees.
#pragma once

#include "scene/scene.h"

// The plane through the face's vertices with unit normal (P2 - P0) x (P1 - P0), where P0, P1, P2
// are its first, second and third vertex; D puts P0 on the plane.
Plane compute_face_plane(const MeshObject& mesh, const Face& face);

// compute_face_plane for every face, stored in the face.
void compute_face_planes(MeshObject& mesh);

// Each vertex's normal is the normalised sum of the planes' (A, B, C) over every face corner,
// in face order, whose position equals the vertex's position exactly as floats compare (so
// +0 and -0 match and a NaN coordinate matches nothing). Needs the face planes.
void compute_vertex_normals(MeshObject& mesh);

// The camera's matrix from the first key of its position track and, when it has one, the first
// key of its target track; identity when it has no position key.
void build_camera_matrix(Camera& camera);
