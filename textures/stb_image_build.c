/* The page's copy of the picture decoder: libstb-dev's stb_image.h compiled with its
 * implementation, as Debian's libstb is for the native programs. Pictures arrive as bytes, so
 * its file reading is left out. */
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#include <stb_image.h>
