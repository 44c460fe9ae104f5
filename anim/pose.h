// pose.h - the scene's pose at a key-frame time: where every node, mesh and camera stands.
//
// Space: the pose is worked out in the file's own axes (right-handed, Z up), the space the file's
// tracks, pivots and local axes were made in; the loader's scene axes exchange Y and Z, a mirror
// in which the file's rotation angles would turn the wrong way. Each mesh's placement is also
// given in scene axes, for the renderer, whose vertices are in scene axes. A front end that
// moves the scene into a space of its own (the fit and camera views' normalised space,
// app/view_choice.h) carries the scene-axes placement over with the same map.
//
// Hierarchy: each node's matrix is its parent's matrix x translate(position) x rotate x scale
// (column-vector order; Matrix4 stores the same for row vectors, so the product reads the other
// way round). A camera node's matrix, as the parent of other nodes, stands at the camera and
// turns with it: x to the picture's right, y up in the picture, -z along the line of sight.
// A mesh's vertices are stored where they stood when the file was saved, in world space; its
// placement is its node's matrix x translate(-pivot) x the inverse of the mesh's local axes,
// so at the saved time it is the identity. A mesh that no object node names, or whose local
// axes are all zeros, is placed by its node alone (or stays where it is, without a node).
// When several object nodes name one mesh, the first places it.
//
// Cameras: the position and target come from the camera's camera and target nodes (the camera
// chunk's own values without them); the roll is the roll track's, in degrees, positive turning
// the camera counter-clockwise about its line of sight as seen from behind it, so the picture
// turns clockwise (worked out from a camera whose rolling child lands where the file put it);
// without a roll track it is the camera chunk's bank, which the camera view has always turned
// the other way, so the roll is minus the bank. The field of view, horizontal in degrees, is the
// field-of-view track's; without one it is 2 atan(18 / lens) from the camera chunk's lens.
//
// Ownership: the pose is a plain value; it refers to the scene's records by index only.
// Failure: none; damaged values give non-finite numbers, which the renderer tolerates.
#pragma once

#include "scene/math3d.h"
#include "scene/scene.h"

#include <cstdint>
#include <vector>

struct PosedMesh {
    int32_t node = -1;       // index in Scene::nodes of the node placing the mesh, -1 for none
    bool hidden = false;     // the node's hide track hides it at this time
    Matrix4 placement;       // file axes: a stored vertex (in file axes) to where it stands now
    Matrix4 scene_placement; // the same map in scene axes
};

struct CameraPose {
    Vector3 position{}, target{}; // file axes
    double roll = 0;              // degrees, see above
    double fov = 0;               // degrees, horizontal
    bool fov_from_track = false;  // false: from the camera chunk's lens
    bool from_nodes = false;      // a camera or target node places it (else the chunk alone)
};

struct ScenePose {
    double key_frame = 0;
    std::vector<Matrix4> nodes;      // each node's matrix, file axes, one per Scene::nodes
    std::vector<PosedMesh> meshes;   // one per Scene::meshes
    std::vector<CameraPose> cameras; // one per Scene::cameras
};

// True when some track of some node has more than one key: the file moves.
bool scene_is_animated(const Scene& scene);

// The pose at key frame t (any real; outside the segment the tracks hold or loop).
ScenePose pose_scene(const Scene& scene, double key_frame);

// Key frames a second when a file plays, and the key frame that output frame k (k >= 1, one
// every 20 ms) shows: the segment's start plus (k - 1) x 0.6, wrapped over the segment.
constexpr double kKeyFramesPerSecond = 30.0;
double play_key_frame(const Scene& scene, int64_t frame);

// Output frames in one pass of the segment at that pace (at least 1).
int32_t play_frame_count(const Scene& scene);

// A scene-axes point to file axes and back (the same exchange both ways).
Vector3 exchange_axes(const Vector3& p);
