#include "tools/scene_json.h"

#include "anim/pose.h"
#include "app/view_choice.h"
#include "tools/animation_report.h"
#include "tools/scene_summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <span>

namespace {

void append_int(std::string& out, int64_t value) {
    out += std::to_string(value);
}

void append_reals(std::string& out, std::span<const float> values) {
    out += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ", ";
        append_json_real(out, values[i]);
    }
    out += ']';
}

void append_ints(std::string& out, std::span<const int32_t> values) {
    out += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ", ";
        append_int(out, values[i]);
    }
    out += ']';
}

void append_key(std::string& out, std::string_view key) {
    out += '"';
    out += key;
    out += "\": ";
}

// The arrays of a track are parallel; a damaged scene could leave them of unequal length, so
// only the keys present in every array are written.
void append_position_track(std::string& out, const PositionTrack& t) {
    const size_t keys = std::min({t.frame.size(), t.x.size(), t.y.size(), t.z.size()});
    out += '[';
    for (size_t k = 0; k < keys; ++k) {
        if (k > 0) out += ", ";
        const float key[4] = {t.frame[k], t.x[k], t.y[k], t.z[k]};
        append_reals(out, key);
    }
    out += ']';
}

void append_rotation_track(std::string& out, const RotationTrack& t) {
    const size_t keys = std::min(
        {t.frame.size(), t.angle.size(), t.axis_x.size(), t.axis_y.size(), t.axis_z.size()});
    out += '[';
    for (size_t k = 0; k < keys; ++k) {
        if (k > 0) out += ", ";
        const float key[5] = {t.frame[k], t.angle[k], t.axis_x[k], t.axis_y[k], t.axis_z[k]};
        append_reals(out, key);
    }
    out += ']';
}

void append_vertex(std::string& out, const Vertex& v) {
    const float fields[8] = {v.x, v.y, v.z, v.u, v.v, v.nx, v.ny, v.nz};
    append_reals(out, fields);
}

void append_face(std::string& out, const Face& f) {
    out += "{\"v\": ";
    append_ints(out, f.v);
    out += ", \"material\": ";
    append_int(out, f.material);
    out += ", \"plane\": ";
    const float plane[4] = {f.plane.a, f.plane.b, f.plane.c, f.plane.d};
    append_reals(out, plane);
    out += ", \"smoothing\": ";
    append_int(out, f.smoothing);
    out += '}';
}

// Vertices and faces go one per line so that large meshes stay readable and diffable.
// The text is handed on after every record, so no more than one record's text waits in memory.
template <typename T, typename Fn>
void append_record_lines(TextSink& sink, const std::vector<T>& records, Fn append_one) {
    sink.pending += '[';
    for (size_t i = 0; i < records.size(); ++i) {
        sink.pending += i == 0 ? "\n      " : ",\n      ";
        append_one(sink.pending, records[i]);
        text_sink_drain(sink);
    }
    sink.pending += records.empty() ? "]" : "\n    ]";
}

void append_mesh(TextSink& sink, const MeshObject& m) {
    std::string& out = sink.pending;
    out += "{";
    append_key(out, "name");
    append_json_name(out, m.name);
    out += ", ";
    append_key(out, "node_id");
    append_int(out, m.node_id);
    out += ", ";
    append_key(out, "parent");
    append_int(out, m.parent);
    out += ",\n    ";
    append_key(out, "matrix");
    append_reals(out, m.matrix.m);
    out += ",\n    ";
    append_key(out, "vertices");
    append_record_lines(sink, m.vertices, append_vertex);
    out += ",\n    ";
    append_key(out, "faces");
    append_record_lines(sink, m.faces, append_face);
    out += ",\n    ";
    append_key(out, "position_track");
    append_position_track(out, m.position_track);
    out += ",\n    ";
    append_key(out, "rotation_track");
    append_rotation_track(out, m.rotation_track);
    out += ",\n    ";
    append_key(out, "smoothing_groups");
    append_int(out, smoothing_group_count(m));
    out += '}';
}

void append_doubles(std::string& out, const std::array<double, 3>& values) {
    append_reals(out, std::array<float, 3>{float(values[0]), float(values[1]), float(values[2])});
}

double degrees(double radians) {
    return radians * 180.0 / 3.14159265358979323846;
}

void append_camera(std::string& out, const Camera& c, const CameraPlacement& view) {
    out += "{";
    append_key(out, "name");
    append_json_name(out, c.name);
    out += ", ";
    append_key(out, "position");
    append_reals(out, c.position);
    out += ", ";
    append_key(out, "target");
    append_reals(out, c.target);
    out += ", ";
    append_key(out, "bank");
    append_json_real(out, c.bank);
    out += ", ";
    append_key(out, "lens");
    append_json_real(out, c.lens);
    out += ",\n    ";
    append_key(out, "matrix");
    append_reals(out, c.matrix.m);
    out += ",\n    ";
    append_key(out, "position_track");
    append_position_track(out, c.position_track);
    out += ",\n    ";
    append_key(out, "target_track");
    append_position_track(out, c.target_track);
    out += ",\n    ";
    append_key(out, "view");
    out += "{";
    append_key(out, "position");
    append_doubles(out, view.position);
    out += ", ";
    append_key(out, "target");
    append_doubles(out, view.target);
    out += ", ";
    append_key(out, "field_of_view");
    append_json_real(out, float(degrees(view.field_of_view)));
    out += "}}";
}

void append_fit(std::string& out, const Scene& scene) {
    const FitPlacement fit = fit_placement(scene, kWidth, kHeight);
    out += " ";
    append_key(out, "fit");
    out += "{";
    append_key(out, "centre");
    append_doubles(out, fit.centre);
    out += ", ";
    append_key(out, "radius");
    append_json_real(out, float(fit.radius));
    out += ", ";
    append_key(out, "distance");
    append_json_real(out, float(fit.distance));
    out += "}";
}

// "key": real, ... for each pair, separated by commas.
void append_real_fields(std::string& out,
                        std::span<const std::pair<std::string_view, float>> fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ", ";
        append_key(out, fields[i].first);
        append_json_real(out, fields[i].second);
    }
}

void append_light(std::string& out, const Light& l) {
    out += "{";
    append_key(out, "name");
    append_json_name(out, l.name);
    out += ", ";
    append_key(out, "spot");
    append_int(out, l.spot);
    out += ", ";
    append_key(out, "off");
    append_int(out, l.off);
    out += ", ";
    append_key(out, "raytrace_shadow");
    append_int(out, l.raytrace_shadow);
    out += ",\n    ";
    append_key(out, "position");
    append_reals(out, l.position);
    out += ", ";
    append_key(out, "spot_target");
    append_reals(out, l.spot_target);
    out += ",\n    ";
    const std::pair<std::string_view, float> reals[] = {{"hotspot", l.hotspot},
                                                        {"falloff", l.falloff},
                                                        {"inner_range", l.inner_range},
                                                        {"outer_range", l.outer_range},
                                                        {"multiplier", l.multiplier}};
    append_real_fields(out, reals);
    out += ",\n    ";
    append_key(out, "colour");
    append_reals(out, l.colour);
    out += ", ";
    append_key(out, "colour_int");
    append_ints(out, l.colour_int);
    out += '}';
}

void append_material(std::string& out, const Material& m) {
    out += "{";
    append_key(out, "name");
    append_json_name(out, m.name);
    const std::pair<std::string_view, const std::array<float, 3>*> colours[] = {
        {"ambient", &m.ambient}, {"diffuse", &m.diffuse}, {"specular", &m.specular}};
    const bool set[] = {m.ambient_set, m.diffuse_set, m.specular_set};
    for (size_t i = 0; i < 3; ++i) {
        out += i == 0 ? ",\n    " : ", ";
        append_key(out, colours[i].first);
        append_reals(out, *colours[i].second);
        out += ", ";
        append_key(out, std::string(colours[i].first) + "_set");
        append_int(out, set[i]);
    }
    out += ",\n    ";
    const std::pair<std::string_view, float> reals[] = {
        {"shininess", m.shininess},
        {"shininess_strength", m.shininess_strength},
        {"transparency", m.transparency},
        {"self_illum", m.self_illum}};
    append_real_fields(out, reals);
    out += ", ";
    append_key(out, "two_sided");
    append_int(out, m.two_sided);
    out += ",\n    ";
    append_key(out, "texture");
    append_json_name(out, m.texture);
    out += ", ";
    append_key(out, "texture_strength");
    append_json_real(out, m.texture_strength);
    out += ", ";
    append_key(out, "texture_scale");
    append_reals(out, m.texture_scale);
    out += ", ";
    append_key(out, "texture_offset");
    append_reals(out, m.texture_offset);
}

// The material's picture as load_scene_textures found it (report null: it names none).
void append_texture_found(std::string& out, const TextureReport* report) {
    const bool found = report && report->found;
    out += ",\n    ";
    append_key(out, "texture_found");
    append_int(out, found);
    out += ", ";
    append_key(out, "texture_size");
    append_ints(out, std::array<int32_t, 2>{found ? report->width : 0, found ? report->height : 0});
    out += ", ";
    append_key(out, "texture_problem");
    append_json_name(out, report ? report->problem : std::string());
}

template <typename T, typename Fn>
void append_section(TextSink& sink, std::string_view key, const std::vector<T>& records,
                    Fn append_one, bool last) {
    sink.pending += " ";
    append_key(sink.pending, key);
    sink.pending += '[';
    for (size_t i = 0; i < records.size(); ++i) {
        sink.pending += i == 0 ? "\n   " : ",\n   ";
        append_one(sink, records[i]);
        text_sink_drain(sink);
    }
    sink.pending += records.empty() ? "]" : "\n ]";
    sink.pending += last ? "\n" : ",\n";
}

// Adapts a writer of one small record to the sink form that append_section calls.
template <typename T> auto small_record(void (*append_one)(std::string&, const T&)) {
    return [append_one](TextSink& sink, const T& record) { append_one(sink.pending, record); };
}

} // namespace

void append_json_real(std::string& out, float value) {
    if (std::isnan(value)) {
        out += "\"nan\"";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "\"inf\"" : "\"-inf\"";
        return;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void append_json_name(std::string& out, std::string_view bytes) {
    out += '"';
    for (char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
            out += escaped;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    out += '"';
}

void write_scene_json(TextSink& sink, const Scene& scene,
                      const std::vector<TextureReport>* textures, const double* key_frame) {
    std::string& out = sink.pending;
    out += "{";
    append_key(out, "keyframe_start");
    append_int(out, scene.keyframe_start);
    out += ", ";
    append_key(out, "keyframe_end");
    append_int(out, scene.keyframe_end);
    out += ",\n";
    append_section(sink, "meshes", scene.meshes, append_mesh, false);
    // Posed once for every camera: where each stands at the first key frame.
    const ScenePose first = pose_scene(scene, scene.keyframe_start);
    size_t camera_index = 0;
    append_section(
        sink, "cameras", scene.cameras,
        [&](TextSink& sink, const Camera& c) {
            append_camera(sink.pending, c, camera_view_placement(scene, camera_index++, first));
        },
        false);
    append_section(sink, "lights", scene.lights, small_record(append_light), false);
    size_t material_index = 0, report_index = 0;
    append_section(
        sink, "materials", scene.materials,
        [&](TextSink& sink, const Material& m) {
            append_material(sink.pending, m);
            if (textures) {
                const TextureReport* report = nullptr;
                if (report_index < textures->size() &&
                    size_t((*textures)[report_index].material) == material_index)
                    report = &(*textures)[report_index++];
                append_texture_found(sink.pending, report);
            }
            sink.pending += '}';
            ++material_index;
        },
        false);
    append_fit(out, scene);
    if (key_frame) {
        out += ",\n ";
        append_key(out, "pose");
        append_pose_json(sink, scene, *key_frame);
    }
    out += "\n}\n";
    text_sink_drain(sink, true);
}

std::string scene_to_json(const Scene& scene) {
    TextSink sink;
    write_scene_json(sink, scene);
    return std::move(sink.pending);
}
