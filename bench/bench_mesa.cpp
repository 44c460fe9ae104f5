// The same work through Mesa: the torus of bench_frame drawn by our renderer and by OSMesa
// (llvmpipe, the software OpenGL Linux falls back to), side by side, at 512 x 384.
//
// Both draw the same mesh with the same camera and projection (focal 256, x' = f x / z + 256,
// y' = f y / z + 192, y growing down), cull the same back faces, fill each face in one flat
// colour computed the same way, in face order with no depth buffer, and start from a cleared
// frame. Mesa is timed to glFinish, including the per-face colours it is handed each frame.
// One process per thread count runs Mesa, because llvmpipe reads LP_NUM_THREADS once.
//
// Prints, for 10k, 100k and 1M faces with one thread and with every processor: the median of 5
// frames for each renderer, the ratio, and the lit area of both pictures. Exits 1 when the
// pictures are not the same picture (the comparison would not be honest), or when OSMesa fails:
// the lit areas differ by more than 3%, or Mesa drew other faces than ours. Culling the wrong
// side of a closed mesh keeps its lit area, so that is checked apart: in the demo look, by the
// mean brightness of the lit pixels, which is the far side's faces' when the wrong side is
// culled; in the model look, by their mean depth. (Pixel for pixel the two differ: which of
// several faces smaller than a pixel gets it depends on each one's rules for edges.)
//
// Then the model look on one thread: every face in one smoothing group, a depth buffer, smooth
// shading with the light at the eye. Mesa gets the same work in its own terms: depth test on,
// Gouraud shading, fixed-function lighting with a point light at the eye (ambient 0.25, diffuse
// 0.75, light grey material), our per-vertex normals and indexed triangles, so that it too lights
// each shared vertex once.
#include "app/demo.h"
#include "bench/mesa_gl.h"
#include "render/mesh_renderer.h"
#include "render/model_look.h"
#include "render/renderer.h"
#include "render/threaded_frame.h"
#include "render/view.h"
#include "scene/math3d.h"
#include "tests/render_fixtures.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kLitTolerance = 0.03;
constexpr double kLevelTolerance = 0.02; // demo look: relative gap of the mean levels
constexpr double kDepthTolerance = 0.01; // model look: relative gap of the mean depths
constexpr int kRepetitions = 5;

struct Result {
    double ours_ms = 0, mesa_ms = 0;
    size_t ours_lit = 0, mesa_lit = 0;
    double ours_level = 0, mesa_level = 0; // demo look: mean_level of each picture
    double ours_depth = 0, mesa_depth = 0; // model look: mean camera-space z of lit pixels
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class Draw> double median_ms(Draw draw) {
    std::vector<double> times;
    draw(); // warm-up: buffers grow, caches fill
    for (int i = 0; i < kRepetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        draw();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return median(times);
}

size_t lit_pixels(const std::vector<uint32_t>& frame, uint32_t rgb_mask) {
    size_t n = 0;
    for (uint32_t p : frame)
        n += (p & rgb_mask) != 0;
    return n;
}

// Mean level of the lit pixels' channels (0 to 255); the byte order does not matter.
double mean_level(const std::vector<uint32_t>& frame) {
    double sum = 0;
    size_t n = 0;
    for (uint32_t p : frame)
        if ((p & 0xFFFFFFu) != 0) {
            sum += (p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF);
            ++n;
        }
    return n == 0 ? 0 : sum / (3.0 * double(n));
}

// Mean camera-space z of the pixels a face was drawn on, from our 1/z buffer.
double mean_depth(const std::vector<float>& inverse_z) {
    double sum = 0;
    size_t n = 0;
    for (float w : inverse_z)
        if (w > 0) {
            sum += 1.0 / double(w);
            ++n;
        }
    return n == 0 ? 0 : sum / double(n);
}

// The demo's camera and the torus turned a little, so that its faces meet the view at many
// angles.
MeshObject posed_torus(int rings, int sides, Matrix4& camera) {
    DemoState demo;
    demo_build_camera(demo);
    camera = demo.camera;
    MeshObject mesh = fixtures::torus(rings, sides, 38.0f, 12.0f);
    matrix_rotate_x(mesh.matrix, 0.4f);
    matrix_rotate_y(mesh.matrix, 0.3f);
    return mesh;
}

double ours_model(Renderer& renderer, const MeshObject& mesh, const Matrix4& camera,
                  std::vector<uint32_t>& frame) {
    frame.assign(size_t(kWidth) * kHeight, 0u);
    const Frame target = make_frame(frame, kWidth, kHeight);
    ModelMesh shading;
    if (!prepare_model_mesh(mesh, {}, shading)) {
        std::fprintf(stderr, "bench_mesa: out of memory\n");
        std::exit(1);
    }
    return median_ms([&] {
        begin_model_frame(renderer, target);
        draw_model_mesh(renderer, shading, mesh, mesh.matrix, camera, target);
    });
}

double ours(Renderer& renderer, const MeshObject& mesh, const Matrix4& camera, int32_t threads,
            std::vector<uint32_t>& frame) {
    frame.assign(size_t(kWidth) * kHeight, 0u);
    const Frame target = make_frame(frame, kWidth, kHeight);
    if (threads == 1) {
        return median_ms([&] {
            std::fill(frame.begin(), frame.end(), 0u);
            draw_mesh(renderer, mesh.matrix, camera, mesh, target, kMeshColour);
        });
    }
    std::string error;
    RenderThreads* rt = render_threads_start(threads, error);
    if (rt == nullptr) {
        std::fprintf(stderr, "bench_mesa: %s\n", error.c_str());
        std::exit(1);
    }
    const double ms = median_ms([&] {
        render_frame_threaded(*rt, renderer.view, {&mesh, 1}, camera, target, kMeshColour);
    });
    render_threads_stop(rt);
    return ms;
}

// A context for the benchmark's frame; exits when Mesa cannot make one.
OSMesaContext drawing_context(std::vector<uint32_t>& frame, GLint depth_bits) {
    OSMesaContext context = mesa_drawing_context(frame, kWidth, kHeight, depth_bits);
    if (context == nullptr) {
        std::fprintf(stderr, "bench_mesa: cannot create an OSMesa context\n");
        std::exit(1);
    }
    return context;
}

double mesa(const ViewSetup& view, const MeshObject& mesh, const Matrix4& camera,
            std::vector<uint32_t>& frame) {
    OSMesaContext context = drawing_context(frame, 0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_DITHER);
    glShadeModel(GL_FLAT);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW); // our front faces (mesa_gl.h)
    mesa_load_projection(view.focal, kWidth, kHeight);
    // Our matrices are row-major for row vectors, which is GL's column-major layout.
    Matrix4 mv;
    matrix_inverse(camera, mv);
    matrix_multiply(mv, mesh.matrix, mv);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(mv.m.data());

    const size_t faces = mesh.faces.size();
    std::vector<float> positions(faces * 9);
    for (size_t f = 0; f < faces; ++f)
        for (size_t k = 0; k < 3; ++k) {
            const Vertex& v = mesh.vertices[size_t(mesh.faces[f].v[k])];
            positions[f * 9 + k * 3 + 0] = v.x;
            positions[f * 9 + k * 3 + 1] = v.y;
            positions[f * 9 + k * 3 + 2] = v.z;
        }
    std::vector<uint32_t> colours(faces * 3);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());

    const double ms = median_ms([&] {
        // The flat colour of every face, as our renderer shades it, in GL's byte order.
        for (size_t f = 0; f < faces; ++f) {
            const Plane& p = mesh.faces[f].plane;
            const double nx =
                double(p.a) * mv.at(0, 0) + double(p.b) * mv.at(1, 0) + double(p.c) * mv.at(2, 0);
            const double ny =
                double(p.a) * mv.at(0, 1) + double(p.b) * mv.at(1, 1) + double(p.c) * mv.at(2, 1);
            const double nz =
                double(p.a) * mv.at(0, 2) + double(p.b) * mv.at(1, 2) + double(p.c) * mv.at(2, 2);
            const uint32_t c = shade_colour(kMeshColour, face_intensity(nx, ny, nz));
            const uint32_t rgba = (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16 | 0xFF000000u;
            colours[f * 3] = colours[f * 3 + 1] = colours[f * 3 + 2] = rgba;
        }
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, GLsizei(faces * 3));
        glFinish();
    });
    OSMesaDestroyContext(context);
    return ms;
}

// The model look's work for Mesa (see the top of the file), timed to glFinish.
// depth: the mean camera-space z of the lit pixels, read back from GL's depth buffer.
double mesa_model(const ViewSetup& view, const MeshObject& mesh, const Matrix4& camera,
                  std::vector<uint32_t>& frame, double& depth) {
    OSMesaContext context = drawing_context(frame, 24);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_DITHER);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    mesa_load_projection(view.focal, kWidth, kHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat eye[4] = {0, 0, 0, 1}, ambient[4] = {0.25f, 0.25f, 0.25f, 1},
                  light[4] = {0.75f, 0.75f, 0.75f, 1}, none[4] = {0, 0, 0, 1},
                  grey[4] = {kModelGrey, kModelGrey, kModelGrey, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, eye);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    Matrix4 mv;
    matrix_inverse(camera, mv);
    matrix_multiply(mv, mesh.matrix, mv);
    glLoadMatrixf(mv.m.data());

    // One GL vertex per shading point, so that GL lights each once, as we do.
    ModelMesh shading;
    if (!prepare_model_mesh(mesh, {}, shading)) std::exit(1);
    std::vector<float> positions, normals;
    for (const ShadingPoint& p : shading.points) {
        const Vertex& v = mesh.vertices[p.vertex];
        positions.insert(positions.end(), {v.x, v.y, v.z});
        normals.insert(normals.end(), {p.nx, p.ny, p.nz});
    }
    std::vector<GLuint> indices;
    for (const ModelFace& f : shading.faces)
        indices.insert(indices.end(), {f.shade[0], f.shade[1], f.shade[2]});
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions.data());
    glNormalPointer(GL_FLOAT, 0, normals.data());
    const double ms = median_ms([&] {
        glClearColor(0, 0, 0, 1);
        glClearDepth(1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_INT, indices.data());
        glFinish();
    });
    const std::vector<float> inverse_z = mesa_inverse_depth(kWidth, kHeight);
    depth = mean_depth(inverse_z);
    OSMesaDestroyContext(context);
    return ms;
}

// Runs one size with one thread count; Mesa in a child process so its thread count takes.
// model: both draw the model look's work instead of the demo's.
bool compare(int rings, int sides, int32_t threads, bool model, Result& r) {
    Renderer renderer;
    setup_view(renderer.view, kWidth, kHeight);
    Matrix4 camera;
    MeshObject mesh = posed_torus(rings, sides, camera);
    if (model)
        for (Face& f : mesh.faces)
            f.smoothing = 1;
    std::vector<uint32_t> ours_frame, mesa_frame;
    r.ours_ms = model ? ours_model(renderer, mesh, camera, ours_frame)
                      : ours(renderer, mesh, camera, threads, ours_frame);
    r.ours_lit = lit_pixels(ours_frame, 0x00FFFFFFu);
    r.ours_level = mean_level(ours_frame);
    if (model) r.ours_depth = mean_depth(renderer.model.depth);

    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return false;
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        close(pipe_fds[0]);
        setenv("LP_NUM_THREADS", std::to_string(threads == 1 ? 0 : threads).c_str(), 1);
        Result m;
        m.mesa_ms = model ? mesa_model(renderer.view, mesh, camera, mesa_frame, m.mesa_depth)
                          : mesa(renderer.view, mesh, camera, mesa_frame);
        m.mesa_lit = lit_pixels(mesa_frame, 0x00FFFFFFu);
        m.mesa_level = mean_level(mesa_frame);
        const bool ok = write(pipe_fds[1], &m, sizeof m) == ssize_t(sizeof m);
        _exit(ok ? 0 : 1);
    }
    close(pipe_fds[1]);
    Result m;
    const bool got = read(pipe_fds[0], &m, sizeof m) == ssize_t(sizeof m);
    close(pipe_fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    r.mesa_ms = m.mesa_ms;
    r.mesa_lit = m.mesa_lit;
    r.mesa_level = m.mesa_level;
    r.mesa_depth = m.mesa_depth;
    return true;
}

// Whether r's two pictures are the same picture; check: what tells it, for the table.
bool same_picture(const Result& r, bool model, char (&check)[32]) {
    const double lit = double(std::max<size_t>(r.ours_lit, 1));
    const bool area = std::fabs(double(r.ours_lit) - double(r.mesa_lit)) / lit <= kLitTolerance;
    if (model) {
        std::snprintf(check, sizeof check, "z %.1f / %.1f", r.ours_depth, r.mesa_depth);
        return area && std::fabs(r.ours_depth - r.mesa_depth) <= kDepthTolerance * r.ours_depth;
    }
    std::snprintf(check, sizeof check, "%.1f / %.1f", r.ours_level, r.mesa_level);
    return area && std::fabs(r.ours_level - r.mesa_level) <= kLevelTolerance * r.ours_level;
}

} // namespace

int main() {
    const int32_t all = default_render_thread_count();
    bool agree = true;
    for (bool model : {false, true}) {
        std::printf(model ? "model look (depth, smooth shading), one thread\n"
                          : "demo look (flat, face order)\n");
        std::printf("faces    threads  ours ms  llvmpipe ms  ratio   lit ours  lit llvmpipe  %s\n",
                    model ? "mean depth" : "mean level");
        for (auto [rings, sides] :
             {std::pair{100, 50}, std::pair{500, 100}, std::pair{1000, 500}}) {
            for (int32_t threads : {1, all}) {
                if (threads == all && all == 1 && threads != 1) continue;
                Result r;
                if (!compare(rings, sides, threads, model, r)) {
                    std::fprintf(stderr, "bench_mesa: the OSMesa run failed\n");
                    return 1;
                }
                char check[32];
                const bool same = same_picture(r, model, check);
                agree = agree && same;
                std::printf("%-8d %-8d %-8.2f %-12.1f %-7.1f %-9zu %-13zu %s%s\n",
                            2 * rings * sides, threads, r.ours_ms, r.mesa_ms, r.mesa_ms / r.ours_ms,
                            r.ours_lit, r.mesa_lit, check, same ? "" : "  (pictures disagree)");
                std::fflush(stdout);
                if (all == 1 || model) break;
            }
        }
    }
    if (!agree) {
        std::fprintf(stderr,
                     "bench_mesa: Mesa's picture is not ours (lit areas more than %.0f%% apart, "
                     "mean levels more than %.0f%% apart, or mean depths more than %.0f%% apart): "
                     "the times would not compare the same work\n",
                     kLitTolerance * 100, kLevelTolerance * 100, kDepthTolerance * 100);
        return 1;
    }
    return 0;
}
