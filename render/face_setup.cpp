#include "render/face_setup.h"

bool set_up_clipped_triangle(const CachedVertex& a, const CachedVertex& b, const CachedVertex& c,
                             const ViewSetup& view, EdgeTables& tables) {
    using namespace face_setup_detail;
    ClipPolygon q = clip_triangle(camera_space(a), camera_space(b), camera_space(c), view.planes);
    if (q.count == 0) return false;
    for (int32_t i = 0; i < q.count; ++i)
        if (!project(q.vertices[size_t(i)], view)) return false;
    return setup_polygon_edges(q, tables) != 0;
}
