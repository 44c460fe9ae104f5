// mesa_gl.h - drawing with Mesa's OSMesa (llvmpipe, the software OpenGL Linux falls back to) the
// way our renderer draws, for the programs that compare the two: the same frame layout, the same
// camera space and projection, the same faces turned towards the camera.
//
// Our camera looks along +z with rows growing down; a point (x, y, z) lands on pixel
// (f x / z + width / 2, f y / z + height / 2). Our matrices are row-major for row vectors, which
// is GL's column-major layout, so they load as they are. A face turns towards our camera when its
// corners run clockwise with rows growing down; the projection turns rows upside down into GL's
// window, where the same face runs counter-clockwise: GL's own default front face.
//
// Units: pixels, camera-space units. Ownership: a context draws into the caller's frame, which
// must outlive it; the caller destroys the context (OSMesaDestroyContext). Failure:
// mesa_drawing_context returns nullptr when Mesa cannot make a context.
#pragma once

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <cstdint>
#include <vector>

// GL's near and far planes: the near one is the model look's own near plane.
constexpr float kMesaNear = 0.1f, kMesaFar = 100000.0f;

// A current context drawing into frame (resized to width x height and cleared, first row the
// top of the picture), with a depth buffer of depth_bits (0: none); nullptr when Mesa fails.
OSMesaContext mesa_drawing_context(std::vector<uint32_t>& frame, int32_t width, int32_t height,
                                   GLint depth_bits);

// Our projection for a focal length of focal pixels, as GL's projection matrix, and the viewport.
void mesa_load_projection(float focal, int32_t width, int32_t height);

// The current context's depth buffer as 1/z per pixel, first row the top; 0 where nothing was
// drawn.
std::vector<float> mesa_inverse_depth(int32_t width, int32_t height);
