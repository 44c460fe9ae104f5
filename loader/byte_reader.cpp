#include "loader/byte_reader.h"

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

bool open_file_source(ByteSource& source, const std::string& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "cannot read " + path + ": it is a directory";
        return false;
    }
    source = ByteSource{};
    source.file.reset(std::fopen(path.c_str(), "rb"));
    if (!source.file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::FILE* file = source.file.get();
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (size < 0) {
        error = "cannot measure " + path + ": " + std::strerror(errno);
        return false;
    }
    if (static_cast<unsigned long>(size) > kMaxInputSize) {
        error = path + " is 2 GiB or larger, beyond what the 3DS format can address";
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
