// view.h - the view (screen size, focal length, frustum planes) and polygon clipping.
//
// Camera space: eye at the origin looking along +z. A point (x, y, z) with z > 0 lands on the
// screen at x' = focal * x / z + Width / 2 (growing right) and y' = focal * y / z + Height / 2
// (growing down, the frame-buffer row). The frustum has four side planes, each through the eye,
// with positive signed distance on the inner side; it keeps every projected point 2 pixels
// inside each screen border. There is no near or far plane (draw_mesh drops polygons that come
// closer than z = 0.1).
//
// Ownership: a ViewSetup is a plain value its owner fills with setup_view (all zeros before); the
// renderer object (renderer.h) keeps the one it draws with, so views of different sizes can be in
// use at the same time. ClipVertex and ClipPolygon are plain values passed by copy.
// Failure: nothing is reported. A triangle wholly outside the view gives a polygon of count 0;
// non-finite distances count as outside. A clipping pass never stores more than 7 vertices,
// whatever it is given.
#pragma once

#include "scene/math3d.h"

#include <array>
#include <cstdint>

struct ViewSetup {
    int32_t Width = 0;             // screen width in pixels, also the frame-buffer row length
    int32_t Height = 0;            // screen height in pixels
    float focal = 0.0f;            // focal length in pixels (90 degrees horizontal field of view)
    std::array<Plane, 4> planes{}; // 0 right, 1 left, 2 top, 3 bottom
};

// Eight floats in the layout of the scene's Vertex. x, y, z are camera space while clipping;
// draw_mesh then overwrites x and y with screen coordinates. u, v are interpolated along cut
// edges; nx, ny, nz are copied with input vertices and zero in cut points.
struct ClipVertex {
    float x = 0, y = 0, z = 0;
    float u = 0, v = 0;
    float nx = 0, ny = 0, nz = 0;
};

constexpr int32_t kMaxClipVertices = 7;

// A convex polygon in boundary order with the winding of the triangle it came from.
struct ClipPolygon {
    int32_t count = 0; // 0..7; 0 is the empty polygon
    std::array<ClipVertex, kMaxClipVertices> vertices{};
};

// Stores into view the screen size, the focal length for a 90 degree horizontal field and the
// frustum planes. Always returns 1.
int32_t setup_view(ViewSetup& view, int32_t Width, int32_t Height);

// The same for a narrower or wider lens: focal is the distance in pixels from the eye to a screen
// on which one camera-space unit at that distance is one pixel (Width / 2 for 90 degrees). The
// frustum planes follow it, so the 2-pixel margin inside every border holds for any focal
// length. Always returns 1.
int32_t setup_view_with_focal(ViewSetup& view, int32_t Width, int32_t Height, float focal);

// Fills planes with the right, left, top and bottom frustum planes for half-width term w,
// half-height term h and focal length f (setup_view passes Width - 4 and Height - 4).
void build_frustum_planes(float w, float h, float f, std::array<Plane, 4>& planes);

// Clips the camera-space triangle a, b, c (in that boundary order) against the four planes.
// The verdict of every plane is taken on the unclipped triangle; only straddling planes cost a
// pass. Returns count 0 when the triangle lies wholly outside one plane.
ClipPolygon clip_triangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                          const std::array<Plane, 4>& planes);

// One Sutherland-Hodgman pass of polygon against plane. A vertex on the plane reaches the
// output only as the cut point of an edge arriving from an inside vertex. Input counts outside
// 0..7 are clamped; the output stops growing at 7 vertices.
ClipPolygon clip_to_plane(const ClipPolygon& polygon, const Plane& plane);

// The point where the segment from a to b meets plane (x, y, z, u, v interpolated; normals
// zero). Equal distances or a non-finite distance give a copy of a.
ClipVertex intersect_edge(const ClipVertex& a, const ClipVertex& b, const Plane& plane);

// Signed distance of the vertex's position from plane, in double precision. Inline: the renderer
// classifies every vertex of every mesh against four planes each frame.
inline double plane_distance(const Plane& plane, const ClipVertex& vertex) {
    return double(plane.a) * double(vertex.x) + double(plane.b) * double(vertex.y) +
           double(plane.c) * double(vertex.z) + double(plane.d);
}
