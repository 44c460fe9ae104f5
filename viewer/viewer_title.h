// viewer_title.h - the viewer window's title: the file, the view, the look and, for an animated
// file, the key frame, then the latest message (a save, a refused file), for example
// "horse.3ds - fit - model - frame 12 of 100". The picture itself carries no text.
//
// Units: key frames as the file numbers them. Ownership: plain strings. Failure: none.
#pragma once

#include "viewer/viewer_controls.h"

#include <string>

// file_name is what the title calls the file (its name without the folder); empty while no file
// is open.
std::string viewer_title(const std::string& file_name, const ViewerControls& controls);
