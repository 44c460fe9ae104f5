#include "app/model_frame.h"

#include "render/model_look.h"

#include <new>

bool demo_use_model_look(DemoState& demo, std::span<const TextureImage* const> pictures) {
    if (demo.scene == nullptr) return false;
    try {
        std::vector<ModelMesh> shading(demo.scene->meshes.size());
        for (size_t i = 0; i < shading.size(); ++i)
            if (!prepare_model_mesh(demo.scene->meshes[i], demo.scene->materials, shading[i],
                                    pictures))
                return false;
        demo.model_meshes = std::move(shading);
    } catch (const std::bad_alloc&) {
        return false;
    }
    demo.model_look = true;
    return true;
}

void model_look_frame(DemoState& demo) {
    if (demo.scene == nullptr ||
        demo.frame_buffer.size() != size_t(demo.width) * size_t(demo.height))
        return;
    demo_advance(demo);
    const Frame frame = make_frame(demo.frame_buffer, demo.width, demo.height);
    if (!begin_model_frame(demo.renderer, frame)) return;
    const std::vector<MeshObject>& meshes = demo.scene->meshes;
    for (size_t i = 0; i < meshes.size() && i < demo.model_meshes.size(); ++i)
        draw_model_mesh(demo.renderer, demo.model_meshes[i], meshes[i], meshes[i].matrix,
                        demo.camera, frame);
}

void view_frame(DemoState& demo) {
    if (demo.model_look) {
        model_look_frame(demo);
        return;
    }
    demo_frame(demo);
}
