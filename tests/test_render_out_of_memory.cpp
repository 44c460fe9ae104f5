// When draw_mesh cannot get memory for its list of faces that turn towards the camera, it still
// draws the mesh, transforming every vertex instead: the picture must be the one it draws with
// the list.
#include "failing_allocator.h"
#include "render/mesh_renderer.h"
#include "render/renderer.h"
#include "render/view.h"
#include "render_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kBase = 0x00C08040;

Matrix4 camera_looking_at_origin() {
    Matrix4 camera;
    matrix_identity(camera);
    matrix_rotate_x(camera, 0.4f);
    matrix_translate(camera, 0.0f, 0.0f, -150.0f);
    return camera;
}

void draw(Renderer& renderer, const MeshObject& mesh, std::vector<uint32_t>& frame) {
    Matrix4 identity;
    matrix_identity(identity);
    draw_mesh(renderer, identity, camera_looking_at_origin(), mesh, make_frame(frame, 512, 384),
              kBase);
}

} // namespace

TEST(RenderOutOfMemory, WithoutTheFaceListTheMeshIsDrawnTheSame) {
    Renderer renderer;
    setup_view(renderer.view, 512, 384);
    const MeshObject torus = fixtures::torus(60, 30, 38.0f, 12.0f);
    std::vector<uint32_t> without_list(512 * 384, 0u), with_list(512 * 384, 0u);
    // The first draw grows the vertex cache, then the face list: the second allocation fails.
    fail_allocation_after(1);
    draw(renderer, torus, without_list);
    EXPECT_FALSE(allocation_failure_pending()) << "draw_mesh did not allocate as expected";
    fail_allocation_after(-1);
    draw(renderer, torus, with_list);
    const auto lit = [](const std::vector<uint32_t>& f) {
        return std::count_if(f.begin(), f.end(), [](uint32_t p) { return p != 0; });
    };
    EXPECT_GT(lit(with_list), 5000);
    EXPECT_TRUE(without_list == with_list);
}
