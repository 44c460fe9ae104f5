// mesa_pictures - the model look against Mesa's llvmpipe on real files: do we draw the same
// faces where OpenGL does?
//
//   mesa_pictures FILE...      compares each file's pictures
//   mesa_pictures --packages   the same for every .3ds file of the Debian packages glmark2-data
//                              and assimp-testmodels (exit 77, "skipped", when neither is there)
//
// Each file is drawn in the fit view with Z up, with Y up, and through its first camera when it
// has one, still, at 512 x 384. Mesa draws the very triangles of the model look's frame, from the
// same camera, with a depth buffer, its near plane where ours cuts faces, and back faces culled
// unless a face's material is two-sided. What is compared is where each drew and how far away:
// our depth buffer against GL's, pixel by pixel (colours are not compared: GL's lighting is not
// ours). A pixel differs when only one of the two drew it, or when their depths differ by more
// than 0.2%. Two renderers with their own rules for pixels on an edge disagree on a few pixels
// along the outline; a picture agrees when at most max(8, 1 in 1000 of its drawn pixels) differ.
//
// Prints a line per picture; exits 0 when every picture agrees, 1 when one does not or Mesa
// cannot make a context, 2 on a bad command line. A file that cannot be loaded is reported and
// counts as a failure; a view the file cannot show (no camera) is left out.
#include "app/model_frame.h"
#include "app/view_choice.h"
#include "bench/mesa_gl.h"
#include "loader/chunk_reader.h"
#include "scene/math3d.h"
#include "tests/real_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kPictureWidth = 512, kPictureHeight = 384;
constexpr double kDepthTolerance = 0.002;

struct Comparison {
    size_t ours = 0, mesa = 0; // pixels drawn
    size_t only_one = 0;       // drawn by one of the two
    size_t depths_apart = 0;   // drawn by both, depths apart by more than kDepthTolerance
};

bool two_sided(const Scene& scene, const Face& face) {
    return face.material >= 0 && size_t(face.material) < scene.materials.size() &&
           scene.materials[size_t(face.material)].two_sided;
}

// Every face of the scene's meshes as placed by the view, through GL: one-sided faces culled.
void draw_with_mesa(const DemoState& demo, const Scene& scene) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glFrontFace(GL_CCW); // our front faces (mesa_gl.h)
    glCullFace(GL_BACK);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    Matrix4 to_camera;
    matrix_inverse(demo.camera, to_camera);
    for (const MeshObject& mesh : scene.meshes) {
        Matrix4 mv;
        matrix_multiply(to_camera, mesh.matrix, mv);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(mv.m.data());
        for (const bool both_sides : {false, true}) {
            if (both_sides)
                glDisable(GL_CULL_FACE);
            else
                glEnable(GL_CULL_FACE);
            glBegin(GL_TRIANGLES);
            for (const Face& face : mesh.faces) {
                if (two_sided(scene, face) != both_sides) continue;
                if (!std::all_of(face.v.begin(), face.v.end(), [&](int32_t v) {
                        return v >= 0 && size_t(v) < mesh.vertices.size();
                    }))
                    continue;
                for (const int32_t v : face.v) {
                    const Vertex& p = mesh.vertices[size_t(v)];
                    glVertex3f(p.x, p.y, p.z);
                }
            }
            glEnd();
        }
    }
    glFinish();
}

Comparison compare_depths(const std::vector<float>& ours, const std::vector<float>& mesa) {
    Comparison c;
    for (size_t i = 0; i < ours.size() && i < mesa.size(); ++i) {
        const bool o = ours[i] > 0, m = mesa[i] > 0;
        c.ours += o;
        c.mesa += m;
        c.only_one += o != m;
        c.depths_apart += o && m && std::fabs(ours[i] - mesa[i]) > kDepthTolerance * mesa[i];
    }
    return c;
}

enum class Outcome { agrees, differs, no_view, failed };

// One picture of path in the view named view_name; prints its line unless the file cannot show
// that view.
Outcome compare_picture(const std::string& path, const char* view_name, UpAxis up) {
    std::string error;
    const std::unique_ptr<Scene> scene = load_scene(path, error);
    if (scene == nullptr) {
        std::printf("%s: %s\n", path.c_str(), error.c_str());
        return Outcome::failed;
    }
    ViewChoice choice;
    if (!parse_view_choice(view_name, choice, error)) return Outcome::failed;
    choice.still = true;
    choice.look = Look::model;
    choice.up = up;
    DemoState demo;
    if (!view_start(demo, *scene, choice, kPictureWidth, kPictureHeight, error))
        return Outcome::no_view;
    view_frame(demo);
    const size_t pixels = size_t(kPictureWidth) * kPictureHeight;
    if (demo.renderer.model.depth.size() < pixels) {
        std::printf("%s: the model look drew no frame\n", path.c_str());
        return Outcome::failed;
    }
    std::vector<uint32_t> frame;
    const OSMesaContext context = mesa_drawing_context(frame, kPictureWidth, kPictureHeight, 24);
    if (context == nullptr) {
        std::fprintf(stderr, "mesa_pictures: cannot create an OSMesa context\n");
        std::exit(1);
    }
    mesa_load_projection(demo.renderer.view.focal, kPictureWidth, kPictureHeight);
    draw_with_mesa(demo, *scene);
    const std::vector<float> mesa_depth = mesa_inverse_depth(kPictureWidth, kPictureHeight);
    OSMesaDestroyContext(context);
    const std::vector<float> ours(demo.renderer.model.depth.begin(),
                                  demo.renderer.model.depth.begin() + ptrdiff_t(pixels));
    const Comparison c = compare_depths(ours, mesa_depth);
    const size_t allowed = std::max<size_t>(8, std::max(c.ours, c.mesa) / 1000);
    const bool agrees = c.only_one + c.depths_apart <= allowed;
    std::printf("%-60s %-6s %-2s drawn %6zu / %6zu  by one only %4zu  depths apart %4zu  %s\n",
                path.c_str(), view_name, up == UpAxis::y ? "y" : "z", c.ours, c.mesa, c.only_one,
                c.depths_apart, agrees ? "same" : "DIFFERENT");
    return agrees ? Outcome::agrees : Outcome::differs;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--packages") == 0) {
            const auto found = real_files::all_3ds_files();
            if (found.empty()) {
                std::printf("mesa_pictures: %s\n", real_files::kMissing);
                return 77;
            }
            for (const auto& f : found)
                files.push_back(f.string());
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: mesa_pictures FILE... | --packages\n");
            return 2;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: mesa_pictures FILE... | --packages\n");
        return 2;
    }
    bool all_agree = true;
    for (const std::string& file : files)
        for (const auto& [view, up] : {std::pair{"fit", UpAxis::z}, std::pair{"fit", UpAxis::y},
                                       std::pair{"camera", UpAxis::z}}) {
            const Outcome outcome = compare_picture(file, view, up);
            all_agree = all_agree && (outcome == Outcome::agrees || outcome == Outcome::no_view);
            if (outcome == Outcome::failed) break;
        }
    return all_agree ? 0 : 1;
}
