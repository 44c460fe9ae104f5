// The pictures beside a scene: which file a name finds (letter case, refused names, links, pipes),
// each format decoded through the library on a tiny generated picture, the size bound, and the
// warnings a scene's materials get.
#include "tests/real_files.h"
#include "textures/picture_decode.h"
#include "textures/scene_textures.h"
#include "textures/texture_file.h"
#include "tools/gif_writer.h"

#include <stb_image_write.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Red, green, blue over white, yellow, black: every channel of every texel differs.
const std::vector<uint32_t> kPixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFFFF00, 0x000000};
constexpr int kW = 3, kH = 2;

struct TempFolder {
    fs::path path;
    TempFolder() {
        path = fs::temp_directory_path() /
               ("kalv_textures_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
    static int& counter() {
        static int n = 0;
        return n;
    }
    void file(const std::string& name, const std::string& bytes = "x") const {
        std::ofstream(path / name, std::ios::binary) << bytes;
    }
};

std::vector<uint8_t> rgb_bytes() {
    std::vector<uint8_t> rgb;
    for (uint32_t p : kPixels)
        for (int shift : {16, 8, 0})
            rgb.push_back(uint8_t(p >> shift));
    return rgb;
}

std::vector<uint8_t> read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string find(const TempFolder& folder, const std::string& name) {
    fs::path found;
    std::string problem;
    if (find_texture_file(folder.path, name, "scene.3ds", found, problem))
        return found.filename().string();
    return problem;
}

} // namespace

TEST(TextureLookup, ExactNameFirstThenAnyCaseNeverOutsideTheFolder) {
    TempFolder folder;
    folder.file("test.png");
    folder.file("Both.png");
    folder.file("BOTH.PNG");
    fs::create_directory(folder.path / "DIR.PNG");
    fs::create_directory(folder.path / "sub");
    folder.file("sub/inner.png");
    TempFolder outside;
    outside.file("secret.png");
    fs::create_symlink(outside.path / "secret.png", folder.path / "link.png");
    fs::create_symlink(folder.path / "test.png", folder.path / "alias.png");

    EXPECT_EQ(find(folder, "TEST.PNG"), "test.png");
    EXPECT_EQ(find(folder, "BOTH.PNG"), "BOTH.PNG");
    EXPECT_EQ(find(folder, "both.png"), "BOTH.PNG");  // no exact match: the first in name order
    EXPECT_EQ(find(folder, "ALIAS.PNG"), "test.png"); // the file the link leads to
    EXPECT_EQ(find(folder, "NOSUCH.PNG"), "not found beside scene.3ds");
    for (const char* name : {"dir.png", "link.png"})
        EXPECT_EQ(find(folder, name), "refused: not a regular file in the scene's folder") << name;
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../secret.png", "sub/inner.png", "sub\\inner.png",
                                  "C:TEST.PNG", (outside.path / "secret.png").string()})
        EXPECT_EQ(find(folder, name), "refused: not a plain file name in the scene's folder")
            << name;
}

TEST(TextureLookup, ReadingRefusesPipesWithoutWaiting) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder.path / "pipe.png").c_str(), 0600), 0);
    std::vector<uint8_t> bytes;
    std::string problem;
    EXPECT_FALSE(read_texture_file(folder.path / "pipe.png", bytes, problem));
    EXPECT_EQ(problem, "refused: not a regular file in the scene's folder");
    EXPECT_FALSE(read_texture_file(folder.path / "none.png", bytes, problem));
    EXPECT_NE(problem.find("cannot be read"), std::string::npos) << problem;
}

TEST(PictureDecode, EveryFormatThroughTheLibrary) {
    TempFolder folder;
    const std::vector<uint8_t> rgb = rgb_bytes();
    const std::string dir = folder.path.string() + "/";
    ASSERT_TRUE(stbi_write_png((dir + "p.png").c_str(), kW, kH, 3, rgb.data(), kW * 3));
    ASSERT_TRUE(stbi_write_bmp((dir + "p.bmp").c_str(), kW, kH, 3, rgb.data()));
    ASSERT_TRUE(stbi_write_tga((dir + "p.tga").c_str(), kW, kH, 3, rgb.data()));
    ASSERT_TRUE(stbi_write_jpg((dir + "p.jpg").c_str(), kW, kH, 3, rgb.data(), 100));
    GifPalette palette;
    std::string error;
    GifWriter gif;
    collect_colours(palette, kPixels);
    ASSERT_TRUE(gif_begin(gif, dir + "p.gif", kW, kH, palette, error) &&
                gif_add_frame(gif, kPixels, 2, error) && gif_finish(gif, error))
        << error;

    for (const char* name : {"p.png", "p.bmp", "p.tga", "p.gif", "p.jpg"}) {
        TextureImage image;
        std::string problem;
        ASSERT_TRUE(decode_picture(read_all(folder.path / name), image, problem))
            << name << ": " << problem;
        ASSERT_EQ(image.width, kW) << name;
        ASSERT_EQ(image.height, kH) << name;
        if (std::string(name) != "p.jpg") {
            EXPECT_EQ(image.texels, kPixels) << name;
            continue;
        }
        // JPEG is lossy and subsamples colour: each channel near, rows still top first.
        for (size_t i = 0; i < kPixels.size(); ++i)
            for (int shift : {16, 8, 0})
                EXPECT_NEAR(int(image.texels[i] >> shift & 0xFF), int(kPixels[i] >> shift & 0xFF),
                            100)
                    << i;
        EXPECT_GT(image.texels[3] & 0xFF, 128u); // white below red
        EXPECT_LT(image.texels[5] & 0xFF, 128u); // black below blue
    }
}

TEST(PictureDecode, SizeBoundsAndDamagedFilesAreRefusedWithAReason) {
    const std::vector<uint8_t> rgb = rgb_bytes();
    std::vector<uint8_t> good;
    ASSERT_TRUE(stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<uint8_t>*>(context);
            out->insert(out->end(), static_cast<uint8_t*>(data),
                        static_cast<uint8_t*>(data) + size);
        },
        &good, kW, kH, 3, rgb.data(), kW * 3));
    // The header's width and height (big-endian at 16 and 20) as a hostile file would give them.
    const auto with_size = [&](uint32_t w, uint32_t h) {
        std::vector<uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i) {
            bytes[size_t(16 + i)] = uint8_t(w >> (24 - 8 * i));
            bytes[size_t(20 + i)] = uint8_t(h >> (24 - 8 * i));
        }
        return bytes;
    };
    TextureImage image;
    std::string problem;
    EXPECT_FALSE(decode_picture(with_size(8193, 1), image, problem));
    EXPECT_EQ(problem, "refused: 8193 x 1 is larger than 8192 x 8192 or 64 MiB decoded");
    EXPECT_FALSE(decode_picture(with_size(8192, 2049), image, problem)); // 64 MiB and a row
    EXPECT_NE(problem.find("refused: 8192 x 2049"), std::string::npos) << problem;
    EXPECT_TRUE(image.texels.empty());
    // So large that the library will not even describe it: the header still says why.
    EXPECT_FALSE(decode_picture(with_size(100000, 100000), image, problem));
    EXPECT_EQ(problem.rfind("refused: 100000 x 100000 is larger", 0), 0u) << problem;

    std::vector<uint8_t> cut(good.begin(), good.begin() + good.size() / 2);
    EXPECT_FALSE(decode_picture(cut, image, problem));
    EXPECT_EQ(problem.rfind("cannot be decoded: ", 0), 0u) << problem;
    EXPECT_FALSE(decode_picture({}, image, problem));
}

TEST(SceneTextures, EachPictureOnceAndOneWarningPerUnusableTexture) {
    TempFolder folder;
    const std::vector<uint8_t> rgb = rgb_bytes();
    ASSERT_TRUE(stbi_write_png((folder.path / "crate.png").c_str(), kW, kH, 3, rgb.data(), kW * 3));
    folder.file("BROKEN.PNG", "not a picture");
    Scene scene;
    for (const char* texture : {"CRATE.PNG", "", "NOSUCH.PNG", "crate.png", "BROKEN.PNG"}) {
        Material m;
        m.name = std::string("M") + std::to_string(scene.materials.size());
        m.texture = texture;
        scene.materials.push_back(m);
    }
    scene.materials[2].name = "Crate";
    const SceneTextures textures = load_scene_textures(scene, (folder.path / "scene.3ds").string());
    ASSERT_EQ(textures.by_material.size(), 5u);
    ASSERT_EQ(textures.reports.size(), 4u);
    ASSERT_TRUE(textures.by_material[0]);
    EXPECT_EQ(textures.by_material[0], textures.by_material[3]); // one file, decoded once
    EXPECT_EQ(textures.by_material[0]->texels, kPixels);
    EXPECT_FALSE(textures.by_material[1] || textures.by_material[2] || textures.by_material[4]);
    EXPECT_TRUE(textures.reports[0].found);
    EXPECT_EQ(textures.reports[0].width, kW);
    EXPECT_EQ(texture_warning(scene, textures.reports[1]),
              "texture \"NOSUCH.PNG\" of material \"Crate\": not found beside scene.3ds");
    EXPECT_EQ(texture_warning(scene, textures.reports[3])
                  .rfind("texture \"BROKEN.PNG\" of material \"M4\": cannot be decoded: ", 0),
              0u);
}

TEST(SceneTextures, ALinkLeadsToItsPictureAndAllPicturesTogetherAreBounded) {
    TempFolder folder;
    const std::vector<uint8_t> rgb = rgb_bytes();
    for (const char* name : {"crate.png", "other.png"})
        ASSERT_TRUE(stbi_write_png((folder.path / name).c_str(), kW, kH, 3, rgb.data(), kW * 3));
    fs::create_symlink("crate.png", folder.path / "alias.png");
    Scene scene;
    scene.materials.resize(3);
    scene.materials[0].texture = "ALIAS.PNG";
    scene.materials[1].texture = "crate.png";
    scene.materials[2].texture = "other.png";
    // Room for one picture: the link and its file are that one, the other file is refused.
    const SceneTextures textures =
        load_scene_textures(scene, (folder.path / "scene.3ds").string(), kW * kH * 4);
    ASSERT_TRUE(textures.by_material[0]) << textures.reports[0].problem;
    EXPECT_EQ(textures.by_material[0], textures.by_material[1]);
    EXPECT_FALSE(textures.by_material[2]);
    EXPECT_EQ(textures.reports[2].problem,
              "refused: 3 x 2 is more than the memory left for the scene's pictures together");
}

TEST(SceneTextures, FilesHandedOverFollowTheFolderRules) {
    TempFolder folder;
    const std::vector<uint8_t> rgb = rgb_bytes();
    ASSERT_TRUE(stbi_write_png((folder.path / "crate.png").c_str(), kW, kH, 3, rgb.data(), kW * 3));
    folder.file("Both.png", "not a picture");
    ASSERT_TRUE(stbi_write_png((folder.path / "BOTH.PNG").c_str(), kW, kH, 3, rgb.data(), kW * 3));
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<GivenPicture> given;
    for (const char* name : {"crate.png", "Both.png", "BOTH.PNG"})
        bytes.push_back(read_all(folder.path / name));
    for (const char* name : {"crate.png", "Both.png", "BOTH.PNG"})
        given.push_back({name, bytes[given.size()]});
    Scene scene;
    for (const char* texture :
         {"CRATE.PNG", "both.png", "Both.png", "NOSUCH.PNG", "../crate.png", "crate.png"}) {
        Material m;
        m.texture = texture;
        scene.materials.push_back(m);
    }
    const SceneTextures on_disk = load_scene_textures(scene, (folder.path / "a b.3ds").string());
    const SceneTextures handed = load_scene_textures_given(scene, "a b.3ds", given);
    ASSERT_EQ(handed.reports.size(), on_disk.reports.size());
    for (size_t i = 0; i < handed.reports.size(); ++i) {
        EXPECT_EQ(handed.reports[i].found, on_disk.reports[i].found) << i;
        EXPECT_EQ(texture_warning(scene, handed.reports[i]),
                  texture_warning(scene, on_disk.reports[i]))
            << i;
    }
    EXPECT_TRUE(handed.reports[0].found && handed.reports[1].found); // any case: BOTH.PNG first
    EXPECT_FALSE(handed.reports[2].found);                           // exact: the broken one
    EXPECT_EQ(handed.by_material[0], handed.by_material[5]);         // one file, decoded once
    ASSERT_TRUE(handed.by_material[1]);
    EXPECT_EQ(handed.by_material[1]->texels, kPixels);
}
