// The chunk table: every chunk id the loader knows, whether the walk descends into it, its
// handler and its name for people. Ids the table does not list are skipped whole.
#include "loader/chunk_reader.h"
#include "loader/loader_internal.h"

#include <array>

namespace {

// clang-format off
constexpr std::array<ChunkEntry, 88> chunk_table = {{
    {0x0002, 0, nullptr, "file version"},
    {0x0010, 0, handle_float_colour, "float colour"},
    {0x0011, 0, handle_byte_colour, "byte colour"},
    {0x0012, 0, handle_byte_colour, "byte colour (second form)"},
    {0x0013, 0, handle_float_colour, "float colour (second form)"},
    {0x0030, 0, handle_percentage, "integer percentage"},
    {0x0031, 0, handle_percentage, "float percentage"},
    {0x0100, 0, nullptr, "master scale"},
    {0xC23D, 1, nullptr, "container 0xC23D"},
    {0x3DAA, 1, nullptr, "container 0x3DAA"},
    {0x3D3E, 0, nullptr, "mesh data version"},
    {0x4D4D, 1, nullptr, "file root"},
    {0x3D3D, 1, nullptr, "editor data"},
    {0x1200, 1, nullptr, "solid background"},
    {0x2100, 1, nullptr, "ambient light"},
    {0x4000, 1, handle_named_object, "named object"},
    {0x4100, 1, handle_triangle_mesh, "triangle mesh"},
    {0x4110, 0, handle_vertex_list, "vertex list"},
    {0x4111, 0, nullptr, "vertex flags"},
    {0x4120, 1, handle_face_list, "face list"},
    {0x4130, 0, handle_face_material, "face material group"},
    {0x4140, 0, handle_mapping_coords, "mapping coordinates"},
    {0x4150, 0, handle_smoothing_groups, "smoothing groups"},
    {0x4160, 0, handle_local_axes, "local axes"},
    {0x4165, 0, nullptr, "mesh colour"},
    {0x4170, 0, nullptr, "mesh texture information"},
    {0x4190, 0, nullptr, "mesh chunk 0x4190"},
    {0x4600, 1, handle_light, "light"},
    {0x4610, 0, handle_spotlight, "spotlight"},
    {0x4700, 0, handle_camera, "camera"},
    {0x4F00, 1, nullptr, "container 0x4F00"},
    {0x7001, 0, nullptr, "viewport layout"},
    {0x7020, 0, nullptr, "viewport size"},
    {0xAFFF, 1, handle_material_entry, "material entry"},
    {0xA000, 0, handle_material_name, "material name"},
    {0xA010, 1, handle_material_part, "material ambient colour"},
    {0xA020, 1, handle_material_part, "material diffuse colour"},
    {0xA030, 1, handle_material_part, "material specular colour"},
    {0xA040, 1, handle_material_part, "material shininess"},
    {0xA041, 1, handle_material_part, "material shininess strength"},
    {0xA050, 1, handle_material_part, "material transparency"},
    {0xA052, 1, nullptr, "material transparency falloff"},
    {0xA053, 1, nullptr, "material reflection blur"},
    {0xA084, 1, handle_material_part, "material self-illumination"},
    {0xA081, 0, handle_two_sided, "material two-sided flag"},
    {0xA083, 0, nullptr, "material additive flag"},
    {0xA085, 0, nullptr, "material wire-frame flag"},
    {0xA087, 0, nullptr, "material wire size"},
    {0xA08C, 0, nullptr, "material soft-shading flag"},
    {0xA100, 0, nullptr, "material shading type"},
    {0xA200, 1, handle_texture_map, "texture map"},
    {0xA220, 1, nullptr, "reflection map"},
    {0xA230, 1, nullptr, "bump map"},
    {0xA252, 0, nullptr, "map chunk 0xA252"},
    {0xA300, 0, handle_map_file_name, "map file name"},
    {0xA351, 0, nullptr, "map tiling flags"},
    {0xA353, 0, nullptr, "map blur"},
    {0xA354, 0, handle_map_scale_offset, "map U scale"},
    {0xA356, 0, handle_map_scale_offset, "map V scale"},
    {0xA358, 0, handle_map_scale_offset, "map U offset"},
    {0xA35A, 0, handle_map_scale_offset, "map V offset"},
    {0xA35C, 0, nullptr, "map rotation"},
    {0xB000, 1, nullptr, "key-frame data"},
    {0xB001, 1, handle_unrecorded_node, "ambient node"},
    {0xB002, 1, handle_object_node, "object node"},
    {0xB008, 0, handle_keyframe_segment, "key-frame segment"},
    {0xB010, 0, handle_node_header, "node header"},
    {0xB011, 0, handle_instance_name, "instance name"},
    {0xB013, 0, handle_pivot, "pivot"},
    {0xB020, 0, handle_position_track, "position track"},
    {0xB025, 0, nullptr, "colour track"},
    {0xB021, 0, handle_rotation_track, "rotation track"},
    {0xB022, 0, handle_scale_track, "scale track"},
    {0xB026, 0, nullptr, "morph track"},
    {0xB029, 0, handle_hide_track, "hide track"},
    {0xB030, 0, handle_node_id, "node id"},
    {0xB003, 1, handle_camera_node, "camera node"},
    {0xB004, 1, handle_target_node, "camera target node"},
    {0xB005, 1, handle_unrecorded_node, "light node"},
    {0xB006, 1, handle_unrecorded_node, "light target node"},
    {0xB007, 1, handle_unrecorded_node, "spotlight node"},
    {0xB023, 0, handle_fov_track, "field-of-view track"},
    {0xB024, 0, handle_roll_track, "roll track"},
    {0x4659, 0, handle_inner_range, "light inner range"},
    {0x465A, 0, handle_outer_range, "light outer range"},
    {0x465B, 0, handle_multiplier, "light multiplier"},
    {0x4620, 0, handle_light_off, "light off flag"},
    {0x4627, 0, handle_raytrace_shadow, "light ray-traced shadow flag"},
}};
// clang-format on

} // namespace

int find_chunk(uint16_t id) {
    for (size_t row = 0; row < chunk_table.size(); ++row)
        if ((chunk_table[row].id & 0xFFFFu) == id) return static_cast<int>(row);
    return -1;
}

const ChunkEntry& chunk_entry(int row) {
    return chunk_table[static_cast<size_t>(row)];
}

const char* chunk_name(uint16_t id) {
    int row = find_chunk(id);
    return row < 0 ? nullptr : chunk_entry(row).name;
}
