#include "tools/animation_report.h"

#include "anim/pose.h"
#include "anim/tracks.h"
#include "tools/scene_json.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

std::string number(double value) {
    std::string out;
    append_json_real(out, float(value));
    if (!out.empty() && out.front() == '"') out = out.substr(1, out.size() - 2);
    return out;
}

std::string triple(const Vector3& v) {
    return "(" + number(v[0]) + ", " + number(v[1]) + ", " + number(v[2]) + ")";
}

std::string json_triple(const Vector3& v) {
    std::string out = "[";
    for (size_t i = 0; i < 3; ++i) {
        if (i > 0) out += ", ";
        append_json_real(out, float(v[i]));
    }
    return out + "]";
}

std::string quoted(const std::string& name) {
    std::string out;
    append_json_name(out, name);
    return out;
}

bool has_keyframe_data(const Scene& scene) {
    if (scene.keyframe_start != 0 || scene.keyframe_end != 0 || !scene.nodes.empty()) return true;
    for (const MeshObject& m : scene.meshes)
        if (m.node_id != 0 || m.position_key_count != 0 || m.rotation_key_count != 0) return true;
    for (const Camera& c : scene.cameras)
        if (c.position_key_count != 0 || c.target_key_count != 0) return true;
    return false;
}

// "rotation (loops)": the track's name and what it does past its last key.
std::string track_text(const char* name, const KeyTrack& track) {
    return std::string(name) + (track.loop ? " (loops)" : track.repeat ? " (repeats)" : "");
}

// "position, roll, field of view": the tracks of node that move, in a fixed order.
std::string moving_tracks(const KeyframeNode& node) {
    const std::array<std::pair<const char*, const KeyTrack*>, 6> tracks = {{
        {"position", &node.position},
        {"rotation", &node.rotation},
        {"scale", &node.scale},
        {"field of view", &node.fov},
        {"roll", &node.roll},
        {"hide", &node.hide},
    }};
    std::string out;
    for (const auto& [name, track] : tracks) {
        const bool moves =
            track == &node.hide ? hide_track_is_animated(*track) : track_is_animated(*track);
        if (moves) out += (out.empty() ? "" : ", ") + track_text(name, *track);
    }
    return out;
}

// "10 seconds", "3.33 seconds": at most two decimals, no trailing zeros.
std::string seconds_text(double key_frames) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", key_frames / kKeyFramesPerSecond);
    std::string out = text;
    while (out.find('.') != std::string::npos && (out.back() == '0' || out.back() == '.'))
        out.pop_back();
    return out + (out == "1" ? " second" : " seconds");
}

struct Box {
    Vector3 low{}, high{};
    bool any = false;
};

// Where the mesh's finite vertices stand under the pose, in file axes.
Box posed_box(const MeshObject& mesh, const PosedMesh& pose) {
    Box box;
    for (const Vertex& v : mesh.vertices) {
        const Vector3 p = matrix_transform_point(pose.placement, exchange_axes({v.x, v.y, v.z}));
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) continue;
        for (size_t i = 0; i < 3; ++i) {
            box.low[i] = box.any ? std::min(box.low[i], p[i]) : p[i];
            box.high[i] = box.any ? std::max(box.high[i], p[i]) : p[i];
        }
        box.any = true;
    }
    if (!box.any) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        box.low = box.high = {nan, nan, nan};
    }
    return box;
}

} // namespace

std::string node_label(const KeyframeNode& node) {
    static constexpr const char* kKinds[] = {"object", "dummy", "camera", "target"};
    std::string out = quoted(node.name);
    if (!node.instance_name.empty()) out += " instance " + quoted(node.instance_name);
    out += std::string(" (") + kKinds[int(node.type)] + " node";
    if (node.node_id >= 0) out += " " + std::to_string(node.node_id);
    return out + ")";
}

void append_animation_summary(TextSink& sink, const Scene& scene) {
    if (!has_keyframe_data(scene)) {
        sink.pending += "key frames: none\n";
        return;
    }
    if (!scene_is_animated(scene)) {
        sink.pending += "key frames: no animation\n";
        return;
    }
    sink.pending += "key frames: " + std::to_string(scene.keyframe_start) + " to " +
                    std::to_string(scene.keyframe_end) + ", " +
                    seconds_text(double(scene.keyframe_end) - double(scene.keyframe_start)) +
                    " at 30 key frames a second; moving:\n";
    for (const KeyframeNode& node : scene.nodes) {
        const std::string tracks = moving_tracks(node);
        if (tracks.empty()) continue;
        sink.pending += "  " + node_label(node) + ": " + tracks + "\n";
        text_sink_drain(sink);
    }
}

void append_pose_summary(TextSink& sink, const Scene& scene, double key_frame) {
    const ScenePose pose = pose_scene(scene, key_frame);
    sink.pending += "pose at key frame " + number(key_frame) + " (file axes, Z up):\n";
    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        const Box box = posed_box(scene.meshes[m], pose.meshes[m]);
        sink.pending += "  " + quoted(scene.meshes[m].name) + ": " + triple(box.low) + " to " +
                        triple(box.high) + (pose.meshes[m].hidden ? ", hidden\n" : "\n");
        text_sink_drain(sink);
    }
    for (size_t c = 0; c < scene.cameras.size(); ++c) {
        const CameraPose& camera = pose.cameras[c];
        sink.pending += "  camera " + quoted(scene.cameras[c].name) + ": at " +
                        triple(camera.position) + " looking at " + triple(camera.target) +
                        ", roll " + number(camera.roll) + ", field of view " + number(camera.fov) +
                        " degrees\n";
        text_sink_drain(sink);
    }
}

void append_pose_json(TextSink& sink, const Scene& scene, double key_frame) {
    const ScenePose pose = pose_scene(scene, key_frame);
    std::string& out = sink.pending;
    out += "{\"key_frame\": ";
    append_json_real(out, float(key_frame));
    out += ", \"meshes\": [";
    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        const Box box = posed_box(scene.meshes[m], pose.meshes[m]);
        out += m == 0 ? "\n    " : ",\n    ";
        out += "{\"name\": " + quoted(scene.meshes[m].name) +
               ", \"hidden\": " + (pose.meshes[m].hidden ? "true" : "false") +
               ", \"bounds\": {\"min\": " + json_triple(box.low) +
               ", \"max\": " + json_triple(box.high) + "}}";
        text_sink_drain(sink);
    }
    out += "],\n  \"cameras\": [";
    for (size_t c = 0; c < scene.cameras.size(); ++c) {
        const CameraPose& camera = pose.cameras[c];
        out += c == 0 ? "\n    " : ",\n    ";
        out += "{\"name\": " + quoted(scene.cameras[c].name) +
               ", \"position\": " + json_triple(camera.position) +
               ", \"target\": " + json_triple(camera.target) + ", \"roll\": ";
        append_json_real(out, float(camera.roll));
        out += ", \"fov\": ";
        append_json_real(out, float(camera.fov));
        out += "}";
        text_sink_drain(sink);
    }
    out += "]}";
}
