// Material values and smoothing groups: what each property chunk stores, which colour form wins,
// and that damaged values leave defaults without failing the load.
#include "loader/chunk_reader.h"
#include "test_loader_support.h"
#include "tests/real_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

using namespace loader_test;

namespace {

void byte_colour(ChunkWriter& w, uint16_t id, uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t rgb[3] = {r, g, b};
    write_leaf_chunk(w, id, rgb);
}

void float_colour(ChunkWriter& w, uint16_t id, float r, float g, float b) {
    begin_chunk(w, id);
    for (float c : {r, g, b})
        write_float(w, c);
    end_chunk(w);
}

void int_percent(ChunkWriter& w, uint16_t part, int16_t percent) {
    begin_chunk(w, part);
    begin_chunk(w, 0x0030);
    write_u16(w, static_cast<uint16_t>(percent));
    end_chunk(w);
    end_chunk(w);
}

void float_percent(ChunkWriter& w, uint16_t part, float percent) {
    begin_chunk(w, part);
    begin_chunk(w, 0x0031);
    write_float(w, percent);
    end_chunk(w);
    end_chunk(w);
}

void map_float(ChunkWriter& w, uint16_t id, float value) {
    begin_chunk(w, id);
    write_float(w, value);
    end_chunk(w);
}

void texture_map(ChunkWriter& w, uint16_t id, const char* file, int16_t percent) {
    begin_chunk(w, id);
    begin_chunk(w, 0x0030);
    write_u16(w, static_cast<uint16_t>(percent));
    end_chunk(w);
    begin_chunk(w, 0xA300);
    write_name(w, file);
    end_chunk(w);
    map_float(w, 0xA354, 2.0f);
    map_float(w, 0xA356, std::numeric_limits<float>::quiet_NaN());
    map_float(w, 0xA358, 0.25f);
    end_chunk(w);
}

void begin_material(ChunkWriter& w, const char* name) {
    begin_chunk(w, 0xAFFF);
    begin_chunk(w, 0xA000);
    write_name(w, name);
    end_chunk(w);
}

} // namespace

TEST(LoaderMaterial, ColoursPercentagesFlagsAndTheFirstTextureMap) {
    ChunkWriter w;
    begin_scene(w);
    begin_material(w, "full");
    // Linear before gamma-corrected, then gamma-corrected before linear: the gamma form wins.
    begin_chunk(w, 0xA010);
    byte_colour(w, 0x0012, 255, 0, 0);
    byte_colour(w, 0x0011, 0, 255, 51);
    end_chunk(w);
    begin_chunk(w, 0xA020);
    float_colour(w, 0x0010, 0.25f, 0.5f, 2.0f); // clamped to 1
    float_colour(w, 0x0013, 0.9f, 0.9f, 0.9f);
    end_chunk(w);
    begin_chunk(w, 0xA030); // only a linear form: it is used
    byte_colour(w, 0x0012, 0, 0, 255);
    end_chunk(w);
    int_percent(w, 0xA040, 40);
    float_percent(w, 0xA041, 250.0f); // clamped to 1
    int_percent(w, 0xA050, -5);       // clamped to 0
    int_percent(w, 0xA084, 60);
    write_leaf_chunk(w, 0xA081, {});
    texture_map(w, 0xA220, "REFLECT.PNG", 10); // a reflection map is not the texture
    texture_map(w, 0xA200, "TEST.PNG", 70);
    texture_map(w, 0xA200, "LATER.PNG", 20); // only the first texture map counts
    end_chunk(w);
    begin_material(w, "plain");
    int_percent(w, 0xA040, 90); // no name yet in this material
    end_all_chunks(w);

    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    ASSERT_EQ(scene->material_count, 2);
    const Material& m = scene->materials[0];
    EXPECT_TRUE(m.ambient_set);
    EXPECT_EQ(m.ambient, (std::array<float, 3>{0.0f, 1.0f, 0.2f}));
    EXPECT_TRUE(m.diffuse_set);
    EXPECT_EQ(m.diffuse, (std::array<float, 3>{0.25f, 0.5f, 1.0f}));
    EXPECT_TRUE(m.specular_set);
    EXPECT_EQ(m.specular, (std::array<float, 3>{0.0f, 0.0f, 1.0f}));
    EXPECT_FLOAT_EQ(m.shininess, 0.4f);
    EXPECT_EQ(m.shininess_strength, 1.0f);
    EXPECT_EQ(m.transparency, 0.0f);
    EXPECT_FLOAT_EQ(m.self_illum, 0.6f);
    EXPECT_TRUE(m.two_sided);
    EXPECT_EQ(m.texture, "TEST.PNG");
    EXPECT_FLOAT_EQ(m.texture_strength, 0.7f);
    EXPECT_EQ(m.texture_scale, (std::array<float, 2>{2.0f, 1.0f})); // NaN v scale: default
    EXPECT_EQ(m.texture_offset, (std::array<float, 2>{0.25f, 0.0f}));

    const Material& plain = scene->materials[1];
    EXPECT_FALSE(plain.ambient_set || plain.diffuse_set || plain.specular_set || plain.two_sided);
    EXPECT_FLOAT_EQ(plain.shininess, 0.9f);
    EXPECT_TRUE(plain.texture.empty());
    EXPECT_EQ(plain.texture_strength, 1.0f);
}

TEST(LoaderMaterial, ShortOrStrayValuesLeaveDefaultsAndTheLoadSucceeds) {
    ChunkWriter w;
    begin_scene(w);
    float_colour(w, 0x0010, 1, 1, 1); // no material at all yet
    write_leaf_chunk(w, 0x0030, {});  // a stray, empty percentage
    begin_material(w, "damaged");
    begin_chunk(w, 0xA020);
    write_leaf_chunk(w, 0x0011, std::vector<uint8_t>{9, 9}); // two bytes of three
    float_colour(w, 0x0013, std::numeric_limits<float>::infinity(), 0, 0);
    end_chunk(w);
    float_colour(w, 0x0010, 0.5f, 0.5f, 0.5f); // a colour outside any colour chunk
    begin_chunk(w, 0xA040);
    write_leaf_chunk(w, 0x0030, std::vector<uint8_t>{1});
    end_chunk(w);
    begin_chunk(w, 0xA300); // a map file name outside a texture map
    write_name(w, "STRAY.PNG");
    end_chunk(w);
    end_chunk(w);
    named_object(w, "m");
    begin_chunk(w, 0x4100);
    vertex_list(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}});
    begin_face_list(w, {{0, 1, 2}, {1, 3, 2}});
    begin_chunk(w, 0x4150);
    write_u32(w, 5); // one word for two faces: not trusted
    end_all_chunks(w);

    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    const Material& m = scene->materials[0];
    EXPECT_FALSE(m.diffuse_set);
    EXPECT_EQ(m.diffuse, (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(m.shininess, 0.0f);
    EXPECT_TRUE(m.texture.empty());
    EXPECT_EQ(scene->meshes[0].faces[0].smoothing, 0u);
    EXPECT_EQ(scene->meshes[0].faces[1].smoothing, 0u);
}

TEST(LoaderMaterial, SmoothingGroupsOneWordPerFaceInFileOrder) {
    ChunkWriter w;
    begin_scene(w);
    named_object(w, "m");
    begin_chunk(w, 0x4100);
    vertex_list(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}});
    begin_face_list(w, {{0, 1, 2}, {1, 3, 2}});
    begin_chunk(w, 0x4150);
    write_u32(w, 0x80000001u);
    write_u32(w, 6);
    end_all_chunks(w);
    std::string error;
    auto scene = load_writer(w, error);
    ASSERT_TRUE(scene) << error;
    EXPECT_EQ(scene->meshes[0].faces[0].smoothing, 0x80000001u);
    EXPECT_EQ(scene->meshes[0].faces[1].smoothing, 6u);
}

TEST(LoaderMaterial, RealFileColoursTwoSidedAndTextureNames) {
    const std::filesystem::path dir = "/usr/share/assimp/models/3DS";
    if (!std::filesystem::exists(dir / "cubes_with_alpha.3DS"))
        GTEST_SKIP() << real_files::kMissing;
    std::string error;
    auto cubes = load_scene((dir / "cubes_with_alpha.3DS").string(), error);
    ASSERT_TRUE(cubes) << error;
    ASSERT_EQ(cubes->material_count, 5);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(cubes->materials[i].diffuse_set) << i;
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(cubes->materials[i].diffuse, cubes->materials[j].diffuse) << i << " " << j;
    }
    auto textured = load_scene((dir / "cube_with_diffuse_texture.3DS").string(), error);
    ASSERT_TRUE(textured) << error;
    bool named = false;
    for (const Material& m : textured->materials)
        named = named || m.texture == "TEST.PNG";
    EXPECT_TRUE(named);
    bool smooth = false;
    for (const Face& f : textured->meshes.at(0).faces)
        smooth = smooth || f.smoothing != 0;
    EXPECT_TRUE(smooth);
}
