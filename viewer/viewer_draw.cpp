#include "app/demo_threads.h"
#include "app/model_frame.h"
#include "viewer/viewer_frame.h"

#include <algorithm>

bool viewer_draw(ViewerScene& viewer, DemoState& state, ViewerControls& controls,
                 RenderThreads* threads) {
    if (!viewer_aim(viewer, state, controls)) {
        std::fill(state.frame_buffer.begin(), state.frame_buffer.end(), 0u);
        return true;
    }
    bool drawn = true;
    if (threads != nullptr)
        drawn = demo_frame_threaded(state, *threads);
    else
        view_frame(state);
    viewer_release(viewer, state, controls);
    return drawn;
}
