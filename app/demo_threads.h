// demo_threads.h - the demo's frame drawn on several threads, for the headless tools.
//
// demo_frame_threaded gives exactly the pixels of demo_frame (same clear, motion and draw
// order); only the drawing is spread over the render threads. The demo program itself keeps
// drawing on its one thread. A state in the model look (model_frame.h) gets model_look_frame,
// on the calling thread.
// Ownership: the caller owns the RenderThreads (render_threads_start / render_threads_stop) and
// the DemoState, which must have been started with demo_start.
// Failure: returns false when the frame's buffers could not grow; the frame is then incomplete
// and must not be shown.
#pragma once

#include "app/demo.h"
#include "render/threaded_frame.h"

bool demo_frame_threaded(DemoState& demo, RenderThreads& threads);
