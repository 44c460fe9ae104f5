// Replays files (or every file of the directories) given on the command line through the fuzz
// target, without libFuzzer: ordinary builds and CTest check the committed corpus this way.
// Exits 0 when every input went through, 1 when an argument cannot be read; a broken promise
// aborts inside the target.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

bool replay_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "fuzz_replay: cannot read %s\n", path.string().c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_replay FILE_OR_DIR...\n");
        return 1;
    }
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        fs::path arg = argv[i];
        std::vector<fs::path> files;
        if (fs::is_directory(arg, ec)) {
            for (const auto& entry : fs::directory_iterator(arg, ec))
                if (entry.is_regular_file()) files.push_back(entry.path());
            if (files.empty()) {
                std::fprintf(stderr, "fuzz_replay: no files in %s\n", argv[i]);
                return 1;
            }
        } else {
            files.push_back(arg);
        }
        for (const fs::path& file : files) {
            if (!replay_file(file)) return 1;
            ++replayed;
        }
    }
    std::printf("fuzz_replay: %zu inputs replayed\n", replayed);
    return 0;
}
