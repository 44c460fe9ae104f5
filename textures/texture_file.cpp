#include "textures/texture_file.h"

#include "textures/texture_name.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A regular file whose real place (links followed) is in the folder itself; real becomes that
// place. The real file is what gets read, since reading follows no link.
bool usable_in(const fs::path& real_folder, const fs::path& candidate, fs::path& real) {
    std::error_code ec;
    if (!fs::is_regular_file(candidate, ec)) return false;
    real = fs::canonical(candidate, ec);
    return !ec && real.parent_path() == real_folder;
}

} // namespace

TextureFolder read_texture_folder(const fs::path& folder) {
    TextureFolder out;
    std::error_code ec;
    out.real = fs::canonical(folder.empty() ? fs::path(".") : folder, ec);
    if (ec) return TextureFolder{};
    for (auto it = fs::directory_iterator(out.real, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        out.by_lower_name[lower_ascii_name(name)].push_back(std::move(name));
    }
    for (auto& entry : out.by_lower_name)
        std::sort(entry.second.begin(), entry.second.end());
    return out;
}

bool find_texture_file(const TextureFolder& folder, const std::string& name,
                       const std::string& scene_file, fs::path& found, std::string& problem) {
    if (!plain_texture_name(name)) {
        problem = "refused: not a plain file name in the scene's folder";
        return false;
    }
    const fs::path& real_folder = folder.real;
    if (!real_folder.empty() && usable_in(real_folder, real_folder / name, found)) return true;
    const auto matches = folder.by_lower_name.find(lower_ascii_name(name));
    if (matches == folder.by_lower_name.end()) {
        problem = "not found beside " + scene_file;
        return false;
    }
    for (const std::string& candidate : matches->second)
        if (usable_in(real_folder, real_folder / candidate, found)) return true;
    problem = "refused: not a regular file in the scene's folder";
    return false;
}

bool find_texture_file(const fs::path& folder, const std::string& name,
                       const std::string& scene_file, fs::path& found, std::string& problem) {
    return find_texture_file(read_texture_folder(folder), name, scene_file, found, problem);
}

bool read_texture_file(const fs::path& path, std::vector<uint8_t>& bytes, std::string& problem) {
    // Opened without following a last link and without waiting on a pipe; the type and size are
    // checked on the opened file itself, so nothing can swap the file between check and read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        problem = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        problem = "refused: not a regular file in the scene's folder";
    } else if (static_cast<uintmax_t>(info.st_size) > kMaxTextureFileBytes) {
        problem = "refused: the file is larger than " + std::to_string(kMaxTextureFileBytes >> 20) +
                  " MiB";
        ok = false;
    }
    if (ok) {
        bytes.assign(static_cast<size_t>(info.st_size), 0);
        size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                problem = got == 0 ? "cannot be read: it ended early"
                                   : std::string("cannot be read: ") + std::strerror(errno);
                ok = false;
            } else {
                done += static_cast<size_t>(got);
            }
        }
    }
    ::close(fd);
    if (!ok) bytes.clear();
    return ok;
}
