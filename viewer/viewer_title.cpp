#include "viewer/viewer_title.h"

std::string viewer_title(const std::string& file_name, const ViewerControls& c) {
    std::string title;
    if (file_name.empty()) {
        title = "kalvorant-view - drop a .3ds file on this window";
    } else {
        title = file_name + " - " + controls_view_name(c) + " - " +
                (c.look == ViewerLook::model ? "model" : "demo");
        if (c.last_key > c.first_key)
            title +=
                " - frame " + std::to_string(c.key_frame) + " of " + std::to_string(c.last_key);
    }
    if (!c.message.empty()) title += " - " + c.message;
    return title;
}
