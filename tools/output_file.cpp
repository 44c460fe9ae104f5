#include "tools/output_file.h"

#include <filesystem>
#include <system_error>

void remove_partial_file(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)))
        std::filesystem::remove(path, ec);
}
