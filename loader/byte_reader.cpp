#include "loader/byte_reader.h"

#include "loader/quoted.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

namespace {

constexpr size_t kWindowSize = 65536;
constexpr size_t kMaxInputSize = static_cast<size_t>(std::numeric_limits<int32_t>::max());

} // namespace

ByteSource memory_source(std::span<const uint8_t> bytes) {
    ByteSource source;
    source.size = bytes.size();
    source.window = bytes;
    return source;
}

namespace {

const char* file_kind(std::filesystem::file_type type) {
    switch (type) {
    case std::filesystem::file_type::directory:
        return "a directory";
    case std::filesystem::file_type::character:
        return "a character device";
    case std::filesystem::file_type::block:
        return "a block device";
    case std::filesystem::file_type::fifo:
        return "a named pipe";
    case std::filesystem::file_type::socket:
        return "a socket";
    default:
        return "a special file";
    }
}

// Only a regular file has a size to bound the walk and can be read twice. The type is checked
// before the file is opened: opening a named pipe blocks until a writer comes, and a device such
// as /dev/zero never ends.
bool check_regular_file(const std::string& path, const std::string& label, std::string& error) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec) {
        error = "cannot open " + label + ": " + ec.message();
        return false;
    }
    if (std::filesystem::is_regular_file(status)) return true;
    error = "cannot read " + label + ": it is " + file_kind(status.type()) + ", not a regular file";
    return false;
}

} // namespace

bool open_file_source(ByteSource& source, const std::string& path, std::string& error) {
    const std::string label = quoted_text(path);
    if (!check_regular_file(path, label, error)) return false;
    source = ByteSource{};
    source.file.reset(std::fopen(path.c_str(), "rb"));
    if (!source.file) {
        error = "cannot open " + label + ": " + std::strerror(errno);
        return false;
    }
    std::FILE* file = source.file.get();
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (size < 0) {
        error = "cannot measure " + label + ": " + std::strerror(errno);
        return false;
    }
    if (static_cast<unsigned long>(size) > kMaxInputSize) {
        error = label + " is 2 GiB or larger, beyond what the 3DS format can address";
        return false;
    }
    // Files under /proc and /sys are regular files that report a size of 0 and still hold text;
    // taking the size at its word would load them as an empty scene.
    if (size == 0 && std::fseek(file, 0, SEEK_SET) == 0 && std::fgetc(file) != EOF) {
        error = "cannot read " + label +
                ": its size reads as 0 but it holds data (a kernel file such as those in /proc?)";
        return false;
    }
    source.size = static_cast<size_t>(size);
    return true;
}

const uint8_t* refill_window(ByteSource& source, size_t pos, size_t count) {
    if (!source.file || count > kWindowSize || pos > source.size || count > source.size - pos)
        return nullptr;
    size_t length = std::min(kWindowSize, source.size - pos);
    source.buffer.resize(kWindowSize);
    source.window = {};
    size_t got = 0;
    if (std::fseek(source.file.get(), static_cast<long>(pos), SEEK_SET) == 0)
        got = std::fread(source.buffer.data(), 1, length, source.file.get());
    if (got < count) {
        source.read_failed = true;
        return nullptr;
    }
    source.window = std::span<const uint8_t>(source.buffer.data(), got);
    source.window_start = pos;
    return source.buffer.data();
}
