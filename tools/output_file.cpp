#include "tools/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Attempts at a free temporary name before giving up: another process of ours would have to be
// writing the same file many times over at once to exhaust them.
constexpr int kNameAttempts = 100;

std::string temporary_name(const fs::path& target, int attempt) {
    return (target.parent_path() /
            ("." + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
             std::to_string(attempt) + ".tmp"))
        .string();
}

} // namespace

void remove_partial_file(const std::string& path) {
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(path, ec))) fs::remove(path, ec);
}

bool stage_file(const std::string& target, StagedFile& staged, std::string& error) {
    staged.target = target;
    staged.path = target;
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_directory(status)) {
        error = target + ": is a directory";
        return false;
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) return true;
    const fs::path name(target);
    if (name.filename().empty()) {
        error = target + ": names no file";
        return false;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = temporary_name(name, attempt);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            staged.path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            error = target + ": cannot create: " + std::strerror(errno);
            return false;
        }
    }
    error = target + ": cannot create a temporary file beside it";
    return false;
}

bool commit_file(const StagedFile& staged, std::string& error) {
    if (staged.path == staged.target) return true;
    if (std::rename(staged.path.c_str(), staged.target.c_str()) != 0) {
        error = staged.target + ": cannot replace: " + std::strerror(errno);
        discard_file(staged);
        return false;
    }
    return true;
}

void discard_file(const StagedFile& staged) {
    if (staged.path != staged.target) remove_partial_file(staged.path);
}

std::string about_target(const StagedFile& staged, const std::string& message) {
    if (message.rfind(staged.path, 0) != 0) return message;
    return staged.target + message.substr(staged.path.size());
}
