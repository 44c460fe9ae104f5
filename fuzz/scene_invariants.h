// scene_invariants.h - checking the promises a loaded Scene makes to the renderer (scene.h).
//
// Used by the fuzz target and the corpus replayer: a loader that accepts a file must hand out a
// scene whose counts match its arrays, whose face corners and material indexes are in range and
// whose tracks hold exactly their key counts. Returns false with the first broken promise in why.
#pragma once

#include "scene/scene.h"

#include <string>

bool check_scene_invariants(const Scene& scene, std::string& why);
