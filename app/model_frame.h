// model_frame.h - frames of a view in the model look: the demo's motion, the model look's drawing.
//
// The demo look (demo_frame) paints every mesh in one colour in file order, exactly as the demo
// program does. A view started in the model look (view_choice.h) draws the same scene, moved by
// the same motion, with a depth buffer, material colours, two-sided materials and smoothing
// groups (render/model_look.h). The demo's own frame function is not touched by this: view_frame
// picks one or the other.
//
// Ownership: the shading of every mesh lives in the DemoState (model_meshes), worked out once by
// demo_use_model_look from the meshes as the view placed them; the scene stays borrowed.
// Failure: demo_use_model_look returns false when memory runs out (the state then keeps the demo
// look). A frame allocates nothing once the first one has been drawn at that size.
#pragma once

#include "app/demo.h"
#include "scene/texture_image.h"

#include <span>

// Works out the shading of every mesh of the state's scene as it stands now and makes the
// following frames model-look frames. pictures: per material of the scene, its decoded texture
// or nullptr (borrowed: they must outlive the frames). False when memory runs out.
bool demo_use_model_look(DemoState& demo, std::span<const TextureImage* const> pictures = {});

// One frame in the model look: demo_advance's motion, then every mesh drawn with its shading.
void model_look_frame(DemoState& demo);

// One frame in the state's look: model_look_frame after demo_use_model_look, else demo_frame.
void view_frame(DemoState& demo);
