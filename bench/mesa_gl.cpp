#include "bench/mesa_gl.h"

#include <cstddef>

OSMesaContext mesa_drawing_context(std::vector<uint32_t>& frame, int32_t width, int32_t height,
                                   GLint depth_bits) {
    frame.assign(std::size_t(width) * std::size_t(height), 0u);
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, depth_bits, 0, 0, nullptr);
    if (context == nullptr) return nullptr;
    if (!OSMesaMakeCurrent(context, frame.data(), GL_UNSIGNED_BYTE, width, height)) {
        OSMesaDestroyContext(context);
        return nullptr;
    }
    OSMesaPixelStore(OSMESA_Y_UP, 0); // first row of the buffer = top of the picture
    return context;
}

// Camera space to clip space for GL's column vectors: x_ndc = 2 f x / (W z),
// y_ndc = -2 f y / (H z) (rows grow down), w = z.
void mesa_load_projection(float focal, int32_t width, int32_t height) {
    const float n = kMesaNear, far = kMesaFar;
    const GLfloat p[16] = {2 * focal / float(width),
                           0,
                           0,
                           0,
                           0,
                           -2 * focal / float(height),
                           0,
                           0,
                           0,
                           0,
                           (far + n) / (far - n),
                           1,
                           0,
                           0,
                           -2 * far * n / (far - n),
                           0};
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(p);
}

// Window depth d in [0, 1] goes back to 1/z through the projection's third row.
std::vector<float> mesa_inverse_depth(int32_t width, int32_t height) {
    std::vector<float> window(std::size_t(width) * std::size_t(height));
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, window.data());
    std::vector<float> inverse_z(window.size(), 0.0f);
    const double n = kMesaNear, far = kMesaFar;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const float d = window[std::size_t(height - 1 - y) * std::size_t(width) + std::size_t(x)];
            if (d < 1.0f)
                inverse_z[std::size_t(y) * std::size_t(width) + std::size_t(x)] =
                    float(((far + n) - (2.0 * d - 1.0) * (far - n)) / (2.0 * far * n));
        }
    return inverse_z;
}
