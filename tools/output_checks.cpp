#include "tools/output_checks.h"

#include "loader/quoted.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool writable_folder(const fs::path& dir, std::string& reason) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        reason = "folder " + quoted_text(dir.string()) + " does not exist";
        return false;
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        reason =
            "folder " + quoted_text(dir.string()) + " is not writable: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

bool same_file(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    const fs::path resolved_a = fs::weakly_canonical(a, ec);
    if (ec) return false;
    const fs::path resolved_b = fs::weakly_canonical(b, ec);
    return !ec && resolved_a == resolved_b;
}

bool check_output_file(const std::string& path, const std::string& input, std::string& error) {
    if (same_file(path, input)) {
        error = quoted_text(path) + ": is the input scene; refusing to overwrite it";
        return false;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status)) {
        error = quoted_text(path) + ": cannot write: it is a folder";
        return false;
    }
    if (fs::exists(status)) {
        if (access(path.c_str(), W_OK) == 0) return true;
        error = quoted_text(path) + ": cannot write: " + std::strerror(errno);
        return false;
    }
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    std::string reason;
    if (writable_folder(folder, reason)) return true;
    error = quoted_text(path) + ": cannot create: " + reason;
    return false;
}

bool prepare_output_dir(const std::string& dir, std::string& error) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::string reason;
    if (!ec && writable_folder(dir, reason)) return true;
    error = quoted_text(dir) + ": cannot use as output folder: " + (ec ? ec.message() : reason);
    return false;
}
