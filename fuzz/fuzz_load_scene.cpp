// Fuzz target: any byte string is a candidate scene file. The loader must never crash, hang or
// touch memory it does not own (the sanitizers watch that), must keep every promise of scene.h
// when it accepts a file, and must give the same answer when the same bytes are loaded again
// (its process-wide state is reset at every load).
#include "fuzz/scene_invariants.h"
#include "loader/chunk_reader.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const std::string& why) {
    std::fprintf(stderr, "loader broke a promise: %s\n", why.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    std::string first_error, second_error;
    auto first = load_scene_from_memory(bytes, first_error);
    auto second = load_scene_from_memory(bytes, second_error);
    if ((first == nullptr) != (second == nullptr) || first_error != second_error)
        broken("two loads of the same bytes differ: \"" + first_error + "\" / \"" + second_error +
               "\"");
    if (!first) {
        if (first_error.empty() || first_error.find('\n') != std::string::npos)
            broken("a failed load must give a one-line reason");
        return 0;
    }
    std::string why;
    if (!check_scene_invariants(*first, why)) broken(why);
    return 0;
}
