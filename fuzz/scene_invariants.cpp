#include "fuzz/scene_invariants.h"

namespace {

bool fail(std::string& why, const std::string& what) {
    why = what;
    return false;
}

bool size_matches(size_t size, int32_t count) {
    return count >= 0 && size == static_cast<size_t>(count);
}

bool position_track_ok(const PositionTrack& t, int32_t keys) {
    return size_matches(t.frame.size(), keys) && size_matches(t.x.size(), keys) &&
           size_matches(t.y.size(), keys) && size_matches(t.z.size(), keys);
}

bool rotation_track_ok(const RotationTrack& t, int32_t keys) {
    return size_matches(t.frame.size(), keys) && size_matches(t.angle.size(), keys) &&
           size_matches(t.axis_x.size(), keys) && size_matches(t.axis_y.size(), keys) &&
           size_matches(t.axis_z.size(), keys);
}

bool mesh_ok(const MeshObject& mesh, int32_t material_count, std::string& why) {
    const std::string label = "mesh \"" + mesh.name + "\": ";
    if (mesh.name.size() > 63) return fail(why, label + "name longer than 63 bytes");
    if (!size_matches(mesh.vertices.size(), mesh.vertex_count) || mesh.vertex_count > 65535)
        return fail(why, label + "vertex count does not match its array");
    if (!size_matches(mesh.faces.size(), mesh.face_count) || mesh.face_count > 65535)
        return fail(why, label + "face count does not match its array");
    for (const Face& face : mesh.faces) {
        for (int32_t v : face.v)
            if (v < 0 || v >= mesh.vertex_count) return fail(why, label + "corner out of range");
        if (face.material < -1 || face.material >= material_count)
            return fail(why, label + "material index out of range");
    }
    if (!position_track_ok(mesh.position_track, mesh.position_key_count) ||
        !rotation_track_ok(mesh.rotation_track, mesh.rotation_key_count))
        return fail(why, label + "track size differs from its key count");
    return true;
}

} // namespace

bool check_scene_invariants(const Scene& scene, std::string& why) {
    if (!size_matches(scene.meshes.size(), scene.mesh_count) ||
        !size_matches(scene.cameras.size(), scene.camera_count) ||
        !size_matches(scene.lights.size(), scene.light_count) ||
        !size_matches(scene.materials.size(), scene.material_count))
        return fail(why, "a record count does not match its array");
    for (const MeshObject& mesh : scene.meshes)
        if (!mesh_ok(mesh, scene.material_count, why)) return false;
    for (const Camera& camera : scene.cameras)
        if (!position_track_ok(camera.position_track, camera.position_key_count) ||
            !position_track_ok(camera.target_track, camera.target_key_count))
            return fail(why,
                        "camera \"" + camera.name + "\": track size differs from its key count");
    return true;
}
