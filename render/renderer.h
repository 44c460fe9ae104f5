// renderer.h - the renderer object: the view a picture is drawn in and the buffers the drawing
// keeps from one call to the next.
//
// Nothing of the renderer is process-wide: whoever draws owns a Renderer, one per picture being
// drawn at the same time, so frames of different sizes and looks may be drawn at once on
// different threads, each through its own object. One Renderer serves one thread at a time.
//
// Units: the view's (view.h): pixels, camera space looking along +z.
// Ownership: the Renderer owns its buffers; it borrows nothing between calls. Copying one copies
// the view and the buffers, which are scratch space and may be copied empty.
// Failure: none here. The buffers start empty and grow on the call that needs them
// (draw_mesh_reserve grows them ahead, so that frames allocate nothing); a growth that fails is
// reported by the drawing function that asked for it.
#pragma once

#include "render/face_setup.h"
#include "render/model_look.h"
#include "render/view.h"

#include <cstdint>
#include <new>
#include <vector>

struct Renderer {
    ViewSetup view; // set with setup_view or setup_view_with_focal before drawing

    // The demo look (draw_mesh): the transformed vertices of the mesh being drawn, the faces of
    // it that turn towards the camera, and per vertex whether one of those uses it (all clear
    // between calls).
    std::vector<CachedVertex> vertex_cache;
    std::vector<FrontFace> front_faces;
    std::vector<uint8_t> vertex_used;

    // The model look (model_look.h): its depth buffer, per-mesh scratch and triangle batch.
    ModelScratch model;
};

// Grows buffer to at least count elements (never shrinks it); false when memory runs out, the
// buffer then as it was.
template <typename T> bool grow_buffer(std::vector<T>& buffer, size_t count) {
    if (buffer.size() >= count) return true;
    try {
        buffer.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
