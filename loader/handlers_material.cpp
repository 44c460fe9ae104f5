// Chunk handlers for materials: the material record (named by its name chunk) and the map file
// name, which is read past and not kept.
#include "loader/loader_internal.h"

int handle_material_name(LoaderState& state, ByteReader& r) {
    if (read_name(r, state.current_name) == NameRead::ran_into_end)
        return loader_fail(state, "material name has no end before the end of the chunk");
    Material* material = nullptr;
    int32_t index = -1;
    return create_or_count(state, kMaterials, material, index);
}

int handle_map_file_name(LoaderState&, ByteReader& r) {
    std::string scratch;
    read_name(r, scratch);
    return 0;
}
