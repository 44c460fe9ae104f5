// make_object_3ds: writes the bundled scene (assets/object.3ds) to the path given.
// The output is the same bytes on every run and every machine, so the committed file can be
// checked against a fresh build of it.
#include "tools/bundled_scene.h"
#include "tools/chunk_writer.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("usage: make_object_3ds OUTPUT.3ds\n", stderr);
        return 2;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!build_bundled_scene(bytes, error) || !write_file(argv[1], bytes, error)) {
        std::fprintf(stderr, "make_object_3ds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
