#include "tools/scene_check.h"

#include "loader/quoted.h"

#include <filesystem>
#include <fstream>

std::string not_3ds_hint(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return "";
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    unsigned char id[2] = {0, 0};
    in.read(reinterpret_cast<char*>(id), 2);
    if (in.bad()) return "";
    // A file shorter than two bytes cannot start with the main chunk either.
    if (in.gcount() == 2 && (id[0] | id[1] << 8) == kMainChunkId) return "";
    return " (this does not look like a 3DS file: it does not start with the main chunk 0x4D4D)";
}

bool scene_has_faces(const Scene& scene) {
    for (const MeshObject& mesh : scene.meshes) {
        if (!mesh.faces.empty()) return true;
    }
    return false;
}

std::string empty_scene_warning(const std::string& path) {
    return "warning: " + quoted_text(path) + " holds no faces, so there is nothing to draw" +
           not_3ds_hint(path);
}
