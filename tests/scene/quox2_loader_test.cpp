// The QUOX2 loader's checks: malformed and hostile files fail the block or
// the load with their message, never crash, never read past their data.

#include <gtest/gtest.h>

#include "scene/scene_renderer.h"
#include "scene_test_util.h"

namespace {

// Raw chunk bytes.
std::string chunk(const char *id, const std::string &payload)
{
    std::string h(12, '\0');
    memcpy(&h[0], id, strnlen(id, 5));
    uint32_t n = uint32_t(payload.size());
    memcpy(&h[8], &n, 4);
    return h + payload;
}
std::string u32(uint32_t v) { return std::string(reinterpret_cast<const char *>(&v), 4); }
std::string f32(float v) { return std::string(reinterpret_cast<const char *>(&v), 4); }
std::string z(const char *s) { return std::string(s) + '\0'; }
const std::string HEADER = std::string("QUOX\0\0\0\0\0\0\0\0\0\0\0\0", 16);

std::string vert3()
{
    return chunk("#VERT", u32(3) + f32(0) + f32(0) + f32(0) + f32(1) + f32(0) + f32(0) + f32(0) + f32(1) + f32(0));
}
std::string tri(uint32_t a, uint32_t b, uint32_t c) { return chunk("#TINT", u32(1) + u32(a) + u32(b) + u32(c)); }
std::string object_block(const std::string &body) { return chunk("#OBJE", chunk("#NAME", z("o")) + body); }

class Quox2Loader : public TempDirTest {
  protected:
    // Writes the bytes, loads them; returns the load result, keeps scene and messages.
    bool load(const std::string &bytes)
    {
        test_write_file(path("t.quox2"), bytes);
        if (sc) scene_deinit(sc);
        sc = scene_init();
        bool ok = false;
        messages = test_capture_stderr([&] { ok = quox2_load_file(path("t.quox2").c_str(), sc); });
        return ok;
    }
    bool has(const char *text) const { return messages.find(text) != std::string::npos; }
    void TearDown() override
    {
        scene_deinit(sc);
        TempDirTest::TearDown();
    }
    scene *sc = nullptr;
    std::string messages;
};

} // namespace

TEST_F(Quox2Loader, HeaderChecks)
{
    EXPECT_TRUE(load(HEADER)); // a header alone is an empty scene
    EXPECT_EQ(sc->objectsno, 0u);

    EXPECT_FALSE(load(HEADER.substr(0, 15)));
    EXPECT_TRUE(has("quox2_open_file(): _read("));
    EXPECT_TRUE(has("Open file"));

    std::string bad = HEADER;
    bad[4] = 'X';
    EXPECT_FALSE(load(bad));
    EXPECT_TRUE(has("quox2_open_file(): QUOX MAGIC BAD, possibly not a QUOX file!"));

    scene *s = scene_init();
    std::string m = test_capture_stderr([&] { EXPECT_FALSE(quox2_load_file(path("missing.quox2").c_str(), s)); });
    EXPECT_NE(m.find("quox2_open_file(): _open("), std::string::npos);
    scene_deinit(s);
}

TEST_F(Quox2Loader, TopLevelShortHeaderAndOversizedChunks)
{
    EXPECT_FALSE(load(HEADER + std::string("#OBJE\0", 6)));
    EXPECT_TRUE(has("quox2_load_all_to_scene(): _read("));
    EXPECT_TRUE(has("Load scene"));

    // A size beyond the end of the file fails before anything is allocated.
    std::string big = chunk("#OBJE", "");
    uint32_t huge = 0xfffffff0u;
    memcpy(&big[8], &huge, 4);
    EXPECT_FALSE(load(HEADER + big));
}

TEST_F(Quox2Loader, UnknownChunksAreSkippedWithOrWithoutAWarning)
{
    // At the top level: silently.
    EXPECT_TRUE(load(HEADER + chunk("#ZZZZ", "abc") + object_block(vert3())));
    EXPECT_FALSE(has("Unsupported chunk"));
    EXPECT_EQ(sc->objectsno, 1u);
    // Inside an object: one warning, the object still loads.
    EXPECT_TRUE(load(HEADER + object_block(chunk("#ZZZZ", "abc") + vert3())));
    EXPECT_TRUE(has("Unsupported chunk \"#ZZZZ\" in QUOX2 file"));
    EXPECT_EQ(sc->objectsno, 1u);
    // Inside a material: silently.
    EXPECT_TRUE(load(HEADER + chunk("#MATE", chunk("#MNAM", z("m")) + chunk("#ZZZZ", "abc"))));
    EXPECT_FALSE(has("Unsupported chunk"));
    EXPECT_EQ(sc->materialsno, 1u);
}

TEST_F(Quox2Loader, ObjectSizeChecks)
{
    EXPECT_FALSE(load(HEADER + object_block(chunk("#VERT", u32(2) + std::string(12, '\0')))));
    EXPECT_TRUE(has("LoadDuplicatedMesh(): Invalid VERTEXSLIST chunk size!"));
    // A count far beyond the payload: refused from the size, nothing allocated.
    EXPECT_FALSE(load(HEADER + object_block(chunk("#VNOR", u32(0x20000000) + std::string(12, '\0')))));
    EXPECT_TRUE(has("Invalid VERTEXSLIST chunk size"));
    EXPECT_FALSE(load(HEADER + object_block(chunk("#VERT", u32(0)))));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#TINT", u32(2) + std::string(12, '\0')))));
    EXPECT_TRUE(has("LoadDuplicatedMesh(): Invalid TRIANGLELIST chunk size!"));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#TSHO", u32(1)))));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#STRI", u32(1) + u32(9) + u32(1) + u32(0)))));
    EXPECT_TRUE(has("LoadDuplicatedMesh(): Invalid TRIANGLESTRIP chunk size!"));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#TVER", u32(3) + std::string(8, '\0')))));
    EXPECT_TRUE(has("LoadDuplicatedMesh(): Invalid TVERTEXLIST chunk size!"));
    EXPECT_FALSE(
        load(HEADER + object_block(chunk("#GSTR", u32(0) + u32(0) + u32(2) + u32(2) + std::string(12, '\0')))));
    EXPECT_TRUE(has("Invalid VERTEXSLIST chunk size!"));
    EXPECT_FALSE(load(HEADER + object_block(chunk("#GSTR", u32(0) + u32(4) + u32(1) + u32(1) + std::string(4, '\0')))));
    EXPECT_FALSE(load(HEADER + object_block(chunk("#GSTR", u32(0) + u32(0) + u32(1) + u32(0)))));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#WEIG", u32(2) + std::string(12, '\0')))));
    EXPECT_FALSE(load(HEADER + object_block(chunk("#LISG", u32(0)))));
    EXPECT_FALSE(load(HEADER + object_block(chunk("#TYPE", u32(0) + u32(0)))));
    // An object without a name is not loaded.
    EXPECT_FALSE(load(HEADER + chunk("#OBJE", vert3())));
    // Its name must end in a zero.
    EXPECT_FALSE(load(HEADER + chunk("#OBJE", chunk("#NAME", "abc"))));
}

TEST_F(Quox2Loader, IndicesMustReferToExistingData)
{
    EXPECT_TRUE(load(HEADER + object_block(vert3() + tri(0, 1, 2))));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + tri(0, 1, 3))));
    EXPECT_TRUE(has("triangle index out of range"));
    // Triangles without vertices.
    EXPECT_FALSE(load(HEADER + object_block(tri(0, 0, 0))));
    // Strips whose records claim more indices than the words hold.
    EXPECT_FALSE(
        load(HEADER + object_block(vert3() + chunk("#STRI", u32(1) + u32(3) + u32(5) + u32(5) + u32(0) + u32(1)))));
    // Weights naming a bone that is not there.
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#WEIG", u32(1) + u32(4) + u32(0) + f32(1)))));
    // A failed object leaves what came before it in the scene.
    EXPECT_FALSE(load(HEADER + object_block(vert3()) + object_block(vert3() + tri(0, 1, 7))));
    EXPECT_EQ(sc->objectsno, 1u);
}

TEST_F(Quox2Loader, BoneNames)
{
    std::string n99(99, 'b'), n100(100, 'b');
    EXPECT_TRUE(load(HEADER + object_block(vert3() + chunk("#BONE", u32(2) + z(n99.c_str()) + z("x")))));
    object *o = scene_get_object(sc, "o");
    ASSERT_NE(o, nullptr);
    uint32_t n;
    object_bone_name *b = object_get_bones(o, &n);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(std::string(b[0].name), n99);
    EXPECT_STREQ(b[1].name, "x");
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#BONE", u32(1) + z(n100.c_str())))));
    // Fewer names than the count, or a name without its zero.
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#BONE", u32(3) + z("a") + z("b")))));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#BONE", u32(1) + "abc"))));
    EXPECT_FALSE(load(HEADER + object_block(vert3() + chunk("#BONE", u32(0x7fffffff) + z("a")))));
}

TEST_F(Quox2Loader, UvChannelsAreNumberedInFileOrder)
{
    std::string uv3 = chunk("#TVER", u32(3) + std::string(24, '\0'));
    EXPECT_TRUE(load(HEADER + object_block(vert3() + uv3 + chunk("#TVER", u32(0)) + uv3)));
    object *o = scene_get_object(sc, "o");
    EXPECT_EQ(object_get_tvertexs_chns_no(o), 3u);
    uint32_t n;
    EXPECT_EQ(object_get_tvertexs_chn(o, 1, &n), nullptr);
    EXPECT_EQ(n, 0u);
    object_get_tvertexs_chn(o, 2, &n);
    EXPECT_EQ(n, 3u);
}

TEST_F(Quox2Loader, KeepOrDiscardByType)
{
    auto typed = [](const char *name, uint32_t type) {
        return chunk("#OBJE", chunk("#NAME", z(name)) + chunk("#TYPE", u32(type)) + vert3()) +
               chunk("#INST", chunk("#NAME", z(name)) + chunk("#TYPE", u32(type)));
    };
    std::string file = HEADER + typed("mesh", 0) + typed("quad", 1) + typed("fixed", 2) + typed("odd", 7);
    EXPECT_TRUE(load(file));
    EXPECT_NE(scene_get_object(sc, "quad"), nullptr);
    EXPECT_EQ(scene_get_object(sc, "fixed"), nullptr);
    EXPECT_EQ(scene_get_oi_by_name(sc, "fixed"), nullptr);
    ASSERT_NE(scene_get_object(sc, "odd"), nullptr);
    EXPECT_EQ(scene_get_object(sc, "odd")->type, 0);

    scene_renderer_hooks h{};
    h.get_options = [](scene_render_options *o) { o->terrain_uses_fixed_function = true; };
    scene_renderer_hooks_scope fixed_function_terrain(h);
    EXPECT_TRUE(load(file));
    EXPECT_EQ(scene_get_object(sc, "quad"), nullptr);
    EXPECT_NE(scene_get_object(sc, "fixed"), nullptr);
    EXPECT_NE(scene_get_oi_by_name(sc, "fixed"), nullptr);
    EXPECT_NE(scene_get_object(sc, "mesh"), nullptr);
}

TEST_F(Quox2Loader, InstanceChecks)
{
    EXPECT_FALSE(load(HEADER + chunk("#INST", chunk("#INME", z("x")))));
    EXPECT_TRUE(has("Object instance has no name in QUOX2 file"));
    EXPECT_FALSE(load(HEADER + chunk("#INST", chunk("#NAME", z("i")) + chunk("#NTMP", std::string(36, '\0')))));
    // The rotation is read w first.
    std::string ntmp = f32(1) + f32(2) + f32(3) + f32(0) + f32(0) + f32(0) + f32(1) + f32(1) + f32(1) + f32(1);
    EXPECT_TRUE(load(HEADER + chunk("#INST", chunk("#NAME", z("i")) + chunk("#NTMP", ntmp))));
    object_instance *oi = scene_get_oi_by_name(sc, "i");
    EXPECT_EQ(oi->init_rot_ws.w, 0.0f);
    EXPECT_EQ(oi->init_rot_ws.z, 1.0f);
    EXPECT_EQ(OI_get_position_ws(oi).y, 2.0f);
    // A zero rotation cannot be used.
    std::string zero_rot = f32(1) + f32(2) + f32(3) + std::string(16, '\0') + f32(1) + f32(1) + f32(1);
    EXPECT_FALSE(load(HEADER + chunk("#INST", chunk("#NAME", z("i")) + chunk("#NTMP", zero_rot))));
}

TEST_F(Quox2Loader, MaterialPathsNestingAndComposites)
{
    std::string mdat_std = u32(1) + std::string(148, '\0');
    EXPECT_TRUE(
        load(HEADER + chunk("#MATE", chunk("#MNAM", z("m")) + chunk("#MDTX", z("C:\\art\\ships\\hulls\\hull.tga")) +
                                         chunk("#MDAT", mdat_std))));
    material *m = scene_get_material(sc, "m");
    EXPECT_STREQ(material_get_diffuse_texture_file_name(m), "hull.tga");
    EXPECT_TRUE(material_has_id(m));

    // Composite with count 3 whose second nested chunk is not a name.
    std::string mdat3 = u32(3) + u32(3) + std::string(144, '\0');
    EXPECT_TRUE(load(HEADER + chunk("#MATE", chunk("#MNAM", z("c")) + chunk("#MDAT", mdat3) + chunk("#MSUN", z("a")) +
                                                 chunk("#XXXX", "zz") + chunk("#MSUN", z("b")))));
    m = scene_get_material(sc, "c");
    EXPECT_EQ(material_get_submat_no(m), 3u);
    EXPECT_STREQ(material_get_submat_name(m, 0), "a");
    EXPECT_EQ(material_get_submat_name(m, 1), nullptr);
    EXPECT_STREQ(material_get_submat_name(m, 2), "b");
    EXPECT_TRUE(has("/tLoadMaterial: CHUNK_ID_MATERIAL_SUBMAT_NAME expected but not found."));

    // A composite whose count claims more names than its block holds.
    std::string mdat_many = u32(3) + u32(1000000) + std::string(144, '\0');
    EXPECT_FALSE(load(HEADER + chunk("#MATE", chunk("#MDAT", mdat_many) + chunk("#MSUN", z("a")))));

    // Unknown kind; wrong #MDAT size.
    EXPECT_FALSE(load(HEADER + chunk("#MATE", chunk("#MDAT", u32(9) + std::string(148, '\0')))));
    EXPECT_FALSE(load(HEADER + chunk("#MATE", chunk("#MDAT", mdat_std + "x"))));

    // Kind 4 skips the 152 bytes after its data.
    EXPECT_TRUE(load(HEADER + chunk("#MATE", chunk("#MDAT", u32(4) + std::string(148, '\0')) + std::string(152, 'q') +
                                                 chunk("#MNAM", z("four")))));
    EXPECT_NE(scene_get_material(sc, "four"), nullptr);

    // A nested material whose data chunk comes twice takes the later pair of
    // sub-materials; the earlier pair is freed, not leaked (a fuzzed file).
    auto sub = [&](const char *name) { return chunk("#MATE", chunk("#MNAM", z(name)) + chunk("#MDAT", mdat_std)); };
    std::string mdat_nested = u32(2) + std::string(148, '\0');
    EXPECT_TRUE(load(HEADER + chunk("#MATE", chunk("#MNAM", z("twice")) + chunk("#MDAT", mdat_nested) + sub("a") +
                                                 sub("b") + chunk("#MDAT", mdat_nested) + sub("c") + sub("d"))));
    m = scene_get_material(sc, "twice");
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(material_get_name(material_get_submat1(m)), "c");
    EXPECT_STREQ(material_get_name(material_get_submat2(m)), "d");

    // Nested materials nested without end are refused, not followed to the bottom.
    std::string inner = chunk("#MATE", chunk("#MDAT", mdat_std));
    for (int i = 0; i < 40; i++)
        inner = chunk("#MATE", chunk("#MDAT", u32(2) + std::string(148, '\0')) + inner + inner.substr(0, 0) +
                                   chunk("#NONE", ""));
    EXPECT_FALSE(load(HEADER + inner));
    EXPECT_TRUE(has("nested too deep"));
}

TEST_F(Quox2Loader, MotionKeys)
{
    // #ROTK stores x, y, z, w as w, x, y, z.
    std::string rot = u32(2) + u32(1) + f32(0) + f32(0) + f32(0) + f32(0) + f32(1) + std::string(20, '\0');
    EXPECT_TRUE(load(HEADER + chunk("#MOTI", chunk("#MOTN", z("m")) + chunk("#ROTK", rot))));
    motion *m = scene_get_motion(sc, "m", nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(motion_get_rotation_key(m, 0)->rotation.w, 1.0f);

    // Count 0, wrong kind, under 9 bytes, count beyond the payload.
    EXPECT_FALSE(load(HEADER + chunk("#MOTI", chunk("#MOTN", z("m")) + chunk("#ROTK", u32(2) + u32(0) + "x"))));
    EXPECT_FALSE(load(HEADER + chunk("#MOTI", chunk("#MOTN", z("m")) + chunk("#ROTK", u32(3) + rot.substr(4)))));
    EXPECT_FALSE(load(HEADER + chunk("#MOTI", chunk("#POSK", u32(1) + u32(1)))));
    EXPECT_FALSE(load(
        HEADER + chunk("#MOTI", chunk("#MOTN", z("m")) + chunk("#POSK", u32(1) + u32(1000) + std::string(16, '\0')))));
    // Two keys at the same time.
    std::string two = u32(1) + u32(2) + std::string(16, '\0') + std::string(16, '\0');
    EXPECT_FALSE(load(HEADER + chunk("#MOTI", chunk("#MOTN", z("m")) + chunk("#POSK", two))));
    // A top-level motion needs a name.
    EXPECT_FALSE(load(HEADER + chunk("#MOTI", chunk("#ROTK", rot))));
    // Motions nested in a set are added to the scene and the set.
    EXPECT_TRUE(load(HEADER + chunk("#MOSE", chunk("#MSNM", z("s")) + chunk("#MSLN", f32(2)) +
                                                 chunk("#MOTI", chunk("#MOTN", z("a")) + chunk("#ROTK", rot)))));
    motionset *s = scene_get_motionset(sc, "s");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->motionsno, 1u);
    EXPECT_EQ(scene_get_motion(sc, "a", s)->parent, s);
}

TEST_F(Quox2Loader, LightsAndCameras)
{
    std::string ldat(416, '\0');
    uint32_t kind = 3;
    memcpy(&ldat[0], &kind, 4);
    ldat[24] = 1;
    memset(&ldat[25], 'p', 256); // a projector path without its zero
    memcpy(&ldat[281], "tgt", 3);
    EXPECT_TRUE(load(HEADER + chunk("#LIGH", chunk("#LNAM", z("l")) + chunk("#LDAT", ldat))));
    light *l = scene_get_light(sc, 0);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(strlen(light_get_bitmap_filename(l)), 256u);
    EXPECT_STREQ(light_get_target_name(l), "tgt");
    EXPECT_FALSE(load(HEADER + chunk("#LIGH", chunk("#LDAT", ldat.substr(1)))));

    std::string cdat(176, '\0');
    kind = 5;
    memcpy(&cdat[0], &kind, 4);
    EXPECT_FALSE(load(HEADER + chunk("#CAME", chunk("#CNAM", z("c")) + chunk("#CDAT", cdat))));
    kind = 1;
    memcpy(&cdat[0], &kind, 4);
    cdat[164] = 1;
    float zn = 10, zf = 5; // near beyond far: refused instead of stopping the program
    memcpy(&cdat[168], &zn, 4);
    memcpy(&cdat[172], &zf, 4);
    EXPECT_FALSE(load(HEADER + chunk("#CAME", chunk("#CNAM", z("c")) + chunk("#CDAT", cdat))));
    zn = 0.01f;
    zf = 500;
    memcpy(&cdat[168], &zn, 4);
    memcpy(&cdat[172], &zf, 4);
    EXPECT_TRUE(load(HEADER + chunk("#CAME", chunk("#CNAM", z("c")) + chunk("#CNAM", z("d")) + chunk("#CDAT", cdat))));
    EXPECT_FLOAT_EQ(scene_get_camera(sc, "d")->near_clip_range, 0.05f);

    // The 101st light is not held.
    std::string lights;
    for (int i = 0; i < 101; i++) lights += chunk("#LIGH", chunk("#LNAM", z(("l" + std::to_string(i)).c_str())));
    EXPECT_TRUE(load(HEADER + lights));
    EXPECT_EQ(scene_get_lights_no(sc), 100u);
    EXPECT_STREQ(light_get_name(scene_get_light(sc, 99)), "l99");
}

TEST_F(Quox2Loader, Terrain)
{
    std::string desc = chunk("#DESC", std::string(48, '\0'));
    std::string vbuf = chunk("#VBUF", u32(1) + std::string(12, '\0'));
    // A node with flag 0 (four words follow) and k = 1, then its corners.
    std::string node = std::string(16, '\0') + "x" + std::string(8, '\0') + std::string(1, '\0') +
                       std::string(16, '\0') + std::string(1, '\1') + std::string(8, '\0') + std::string(24, '\0');
    std::string nbuf = chunk("#NBUF", u32(1) + node);
    std::string leaf = std::string("\1\0\2\0", 4) + "f" + std::string(2 * 4, '\0') + std::string(2 * 28, '\0');
    std::string lbuf = chunk("#LBUF", u32(1) + leaf);
    EXPECT_TRUE(load(HEADER + object_block(vert3()) + chunk("#VTER", "") + desc + vbuf + nbuf + lbuf));
    EXPECT_TRUE(has("terrain_initialize_system error"));
    EXPECT_EQ(scene_get_terrain(sc), nullptr);
    EXPECT_EQ(sc->objectsno, 1u);

    EXPECT_FALSE(load(HEADER + chunk("#VTER", "") + desc + desc));                                    // twice
    EXPECT_FALSE(load(HEADER + chunk("#VTER", "") + chunk("#VBUF", u32(5) + std::string(12, '\0')))); // size
    EXPECT_FALSE(load(HEADER + chunk("#VTER", "") + chunk("#NBUF", u32(2000000))));                   // count
    EXPECT_FALSE(load(HEADER + chunk("#VTER", "") + chunk("#NBUF", u32(2) + node)));                  // short records
    EXPECT_FALSE(load(HEADER + chunk("#VTER", "") + chunk("#LBUF", u32(1) + leaf.substr(0, 20))));
    EXPECT_FALSE(load(HEADER + chunk("#VTER", "") + desc.substr(0, 20)));
    EXPECT_TRUE(has("terrain_load(): _read("));
}

TEST_F(Quox2Loader, SubChunksMayNotOverrunTheirBlock)
{
    // The name chunk claims more than the object block holds.
    std::string inner = chunk("#NAME", z("abcdef"));
    std::string block = chunk("#OBJE", inner.substr(0, 12));
    EXPECT_FALSE(load(HEADER + block + inner.substr(12)));
    EXPECT_TRUE(has("overruns its block"));
}
