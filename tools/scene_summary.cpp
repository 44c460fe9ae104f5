#include "tools/scene_summary.h"

#include "tools/animation_report.h"
#include "tools/scene_json.h"

#include "anim/pose.h"
#include "app/view_choice.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <map>

namespace {

std::string real_text(float value) {
    std::string out;
    append_json_real(out, value);
    if (!out.empty() && out.front() == '"') out = out.substr(1, out.size() - 2);
    return out;
}

std::string triple_text(const std::array<float, 3>& v) {
    return "(" + real_text(v[0]) + ", " + real_text(v[1]) + ", " + real_text(v[2]) + ")";
}

std::string name_text(const std::string& name) {
    std::string out;
    append_json_name(out, name);
    return out;
}

std::string plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

void add_vertex(SceneBounds& box, const Vertex& v) {
    box.has_vertices = true;
    const std::array<float, 3> p = {v.x, v.y, v.z};
    if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2])) return;
    if (box.empty) {
        box.empty = false;
        box.min = p;
        box.max = p;
        return;
    }
    for (size_t i = 0; i < 3; ++i) {
        box.min[i] = std::min(box.min[i], p[i]);
        box.max[i] = std::max(box.max[i], p[i]);
    }
}

// The 3DS value of a node header's parent field that means "no parent".
constexpr int32_t kNoParent = 65535;

bool all_zero(const Matrix4& matrix) {
    return std::all_of(std::begin(matrix.m), std::end(matrix.m), [](float v) { return v == 0; });
}

// "faces by material: "Brass" 640, "Steel" 630, none 10", materials in scene order.
std::string faces_by_material(const Scene& scene, const MeshObject& mesh) {
    std::map<int32_t, size_t> counts;
    for (const Face& f : mesh.faces)
        ++counts[f.material];
    std::string out = "faces by material:";
    const char* separator = " ";
    for (const auto& [material, count] : counts) {
        if (material < 0) continue;
        const size_t index = static_cast<size_t>(material);
        out += separator;
        out += index < scene.materials.size() ? name_text(scene.materials[index].name)
                                              : "#" + std::to_string(material);
        out += " " + std::to_string(count);
        separator = ", ";
    }
    if (counts.count(-1) != 0) out += std::string(separator) + "none " + std::to_string(counts[-1]);
    return out;
}

// "parent 1 ("Box01" (object node 1))": the header's parent value and the node it names.
std::string parent_text(const Scene& scene, const MeshObject& mesh, int32_t node) {
    if (mesh.parent == kNoParent) return "no parent";
    std::string out = "parent " + std::to_string(mesh.parent);
    const int32_t parent = node >= 0 ? scene.nodes[size_t(node)].parent_node : -1;
    if (parent >= 0) return out + " " + node_label(scene.nodes[size_t(parent)]);
    return out + (node >= 0 ? " (no node before this one has that id)" : "");
}

void append_meshes(TextSink& sink, const Scene& scene) {
    std::string& out = sink.pending;
    // Each mesh's object node, found in one pass.
    std::vector<int32_t> node_of(scene.meshes.size(), -1);
    for (size_t i = scene.nodes.size(); i-- > 0;) {
        const KeyframeNode& node = scene.nodes[i];
        if (node.type == KeyframeNodeType::object && node.record >= 0 &&
            size_t(node.record) < node_of.size())
            node_of[size_t(node.record)] = int32_t(i);
    }
    size_t vertices = 0, faces = 0;
    for (const MeshObject& m : scene.meshes) {
        vertices += m.vertices.size();
        faces += m.faces.size();
    }
    out += "meshes: " + std::to_string(scene.meshes.size()) + " (" +
           plural(vertices, "vertex", "vertices") + ", " + plural(faces, "face", "faces") + ")\n";
    for (size_t index = 0; index < scene.meshes.size(); ++index) {
        const MeshObject& m = scene.meshes[index];
        out += "  " + name_text(m.name) + ": " + plural(m.vertices.size(), "vertex", "vertices") +
               ", " + plural(m.faces.size(), "face", "faces");
        if (m.node_id != 0 || m.position_key_count != 0 || m.rotation_key_count != 0) {
            out += ", node " + std::to_string(m.node_id) + ", " +
                   parent_text(scene, m, node_of[index]) + ", " +
                   std::to_string(m.position_key_count) + " position / " +
                   std::to_string(m.rotation_key_count) + " rotation keys";
        }
        if (all_zero(m.matrix)) out += ", no local axes";
        out += '\n';
        if (!m.faces.empty()) {
            out += "    " + faces_by_material(scene, m) + "\n";
            out += "    smoothing groups: " + std::to_string(smoothing_group_count(m)) + "\n";
        }
        text_sink_drain(sink);
    }
}

std::array<float, 3> to_floats(const std::array<double, 3>& v) {
    return {float(v[0]), float(v[1]), float(v[2])};
}

void append_fit(std::string& out, const Scene& scene) {
    const FitPlacement fit = fit_placement(scene, kWidth, kHeight);
    out += "fit view (" + std::to_string(kWidth) + "x" + std::to_string(kHeight) + "): ";
    if (!fit.fitted) {
        out += "nothing to fit, the camera stands " + real_text(float(fit.distance)) +
               " units from " + triple_text(to_floats(fit.centre)) + " as in the demo\n";
        return;
    }
    out += "centre " + triple_text(to_floats(fit.centre)) + ", bounding sphere radius " +
           real_text(float(fit.radius)) + ", camera " + real_text(float(fit.distance)) +
           " units from the centre\n";
}

void append_cameras(TextSink& sink, const Scene& scene) {
    std::string& out = sink.pending;
    out += "cameras: " + std::to_string(scene.cameras.size()) + "\n";
    const ScenePose first = pose_scene(scene, scene.keyframe_start);
    for (size_t index = 0; index < scene.cameras.size(); ++index) {
        const Camera& c = scene.cameras[index];
        // The camera chunk keeps the file's axis order; shown in scene axes like the rest.
        const auto scene_axes = [](const std::array<float, 3>& v) {
            return std::array<float, 3>{v[0], v[2], v[1]};
        };
        out += "  " + name_text(c.name) + ": at " + triple_text(scene_axes(c.position)) +
               " looking at " + triple_text(scene_axes(c.target)) + ", lens " + real_text(c.lens) +
               ", bank " + real_text(c.bank) + ", " + std::to_string(c.position_key_count) +
               " position / " + std::to_string(c.target_key_count) + " target keys\n";
        CameraPlacement view;
        std::string unusable;
        const bool usable = camera_start_placement(scene, index, first, view, unusable);
        out += "    camera view: from " + triple_text(to_floats(view.position)) + " towards " +
               triple_text(to_floats(view.target)) + " (scene axes, first key frame), " +
               (usable ? "field of view " +
                             real_text(float(view.field_of_view * 180.0 / 3.14159265358979323846)) +
                             " degrees\n"
                       : "not shown: " + unusable + "\n");
        text_sink_drain(sink);
    }
}

void append_lights(TextSink& sink, const Scene& scene) {
    std::string& out = sink.pending;
    out += "lights: " + std::to_string(scene.lights.size()) + "\n";
    for (const Light& l : scene.lights) {
        out += "  " + name_text(l.name) + ": " + (l.spot ? "spotlight" : "omni light") + " at " +
               triple_text(l.position);
        if (l.spot) {
            out += " aimed at " + triple_text(l.spot_target) + ", hotspot " + real_text(l.hotspot) +
                   ", falloff " + real_text(l.falloff);
        }
        out += ", colour " + triple_text(l.colour);
        if (l.multiplier != 0) out += ", multiplier " + real_text(l.multiplier);
        if (l.inner_range != 0 || l.outer_range != 0) {
            out += ", range " + real_text(l.inner_range) + " to " + real_text(l.outer_range);
        }
        if (l.off) out += ", off";
        if (l.raytrace_shadow) out += ", ray-traced shadows";
        out += '\n';
        text_sink_drain(sink);
    }
}

// "ambient (0.1, 0.1, 0.1), diffuse (1, 0, 0), two-sided, texture "TEST.PNG"": what the file
// gave the material beyond its name; empty when it gave nothing.
std::string material_details(const Material& m) {
    std::string out;
    const auto add = [&out](const std::string& part) { out += (out.empty() ? "" : ", ") + part; };
    if (m.ambient_set) add("ambient " + triple_text(m.ambient));
    if (m.diffuse_set) add("diffuse " + triple_text(m.diffuse));
    if (m.specular_set) add("specular " + triple_text(m.specular));
    if (m.two_sided) add("two-sided");
    if (!m.texture.empty()) add("texture " + name_text(m.texture));
    return out;
}

void append_materials(TextSink& sink, const Scene& scene) {
    sink.pending += "materials: " + std::to_string(scene.materials.size()) + "\n";
    for (const Material& m : scene.materials) {
        sink.pending += "  " + name_text(m.name) + "\n";
        const std::string details = material_details(m);
        if (!details.empty()) sink.pending += "    " + details + "\n";
        text_sink_drain(sink);
    }
}

void append_textures(TextSink& sink, const Scene& scene,
                     const std::vector<TextureReport>& textures) {
    sink.pending += "textures: " + std::to_string(textures.size()) + "\n";
    for (const TextureReport& t : textures) {
        const std::string material = size_t(t.material) < scene.materials.size()
                                         ? scene.materials[size_t(t.material)].name
                                         : std::string();
        sink.pending +=
            "  " + name_text(t.name) + " of material " + name_text(material) + ": " +
            (t.found ? "found, " + std::to_string(t.width) + " x " + std::to_string(t.height)
                     : t.problem) +
            "\n";
        text_sink_drain(sink);
    }
}

// A size too large for a float (the box spans most of the float range) is given as the
// difference of the two ends worked out in double, where it fits, instead of as "inf".
std::string extent_text(float low, float high) {
    const float size = high - low;
    if (std::isfinite(size)) return real_text(size);
    char text[32];
    const double exact = double(high) - double(low);
    const auto result = std::to_chars(text, text + sizeof text, exact);
    return std::string(text, result.ptr);
}

std::string bounds_line(const SceneBounds& box) {
    if (box.empty)
        return box.has_vertices ? "bounding box: none (no finite vertex)\n"
                                : "bounding box: none (no vertices)\n";
    return "bounding box: " + triple_text(box.min) + " to " + triple_text(box.max) + ", size (" +
           extent_text(box.min[0], box.max[0]) + ", " + extent_text(box.min[1], box.max[1]) + ", " +
           extent_text(box.min[2], box.max[2]) + ")\n";
}

// What a reader would otherwise have to guess, in the words the JSON output needs too.
void append_notes(std::string& out) {
    out +=
        "notes:\n"
        "  axes: positions are in scene axes, the file's (X, Y, Z) read as (X, Z, Y), and so is\n"
        "    every track; a pose is in the file's own axes\n"
        "  normals: face planes and vertex normals point into a closed mesh (a sphere's all\n"
        "    point inward)\n"
        "  --json: \"parent\": 65535 means the node has no parent; a \"matrix\" of all zeros\n"
        "    means the file gives the mesh no local axes; \"material\": -1 means no material\n";
}

} // namespace

int smoothing_group_count(const MeshObject& mesh) {
    uint32_t groups = 0;
    for (const Face& f : mesh.faces)
        groups |= f.smoothing;
    return std::popcount(groups);
}

SceneBounds scene_bounds(const Scene& scene) {
    SceneBounds box;
    for (const MeshObject& m : scene.meshes) {
        for (const Vertex& v : m.vertices)
            add_vertex(box, v);
    }
    return box;
}

void write_scene_summary(TextSink& sink, const Scene& scene,
                         const std::vector<TextureReport>* textures, const double* key_frame) {
    append_animation_summary(sink, scene);
    sink.pending += bounds_line(scene_bounds(scene));
    append_fit(sink.pending, scene);
    append_meshes(sink, scene);
    append_cameras(sink, scene);
    append_lights(sink, scene);
    append_materials(sink, scene);
    if (textures) append_textures(sink, scene, *textures);
    if (key_frame) append_pose_summary(sink, scene, *key_frame);
    append_notes(sink.pending);
    text_sink_drain(sink, true);
}

std::string scene_summary(const Scene& scene) {
    TextSink sink;
    write_scene_summary(sink, scene);
    return std::move(sink.pending);
}
