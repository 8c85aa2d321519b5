// The quox2 tool run as a process: dump, dump --json, check, --help.

#include <gtest/gtest.h>

#include "corelib/files.h"
#include "scene_test_util.h"

namespace {

class Quox2Tool : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        tool = std::string(VORN_BINARY_DIR) + "/bin/quox2";
        if (!file_exists(tool.c_str())) GTEST_SKIP() << "quox2 not built";
    }
    test_run_result run(const std::string &args) { return test_run(tool + " " + args); }
    // A scene file with one of each: object, instance, material, bone.
    std::string write_scene(const char *name, bool break_it)
    {
        scene *sc = scene_init();
        object *o = test_make_quad("quad");
        std::vector<object_bone_name> bones(1);
        strcpy(bones[0].name, break_it ? "lost_bone" : "body");
        object_insert_bones(o, test_copy_array(bones), 1);
        object_insert_weights(o, test_copy_array<object_weight>({{0, 0, 1.0f}}), 1);
        scene_add_object(sc, o);
        scene_add_material(sc, test_make_material("paint", "paint.tga"));
        object_instance *oi = test_make_oi("body", break_it ? "no_such_object" : "quad");
        OI_copy_material_name(oi, break_it ? "no_such_material" : "paint");
        if (break_it) OI_copy_parent_name(oi, "no_such_parent");
        scene_add_oi(sc, oi);
        object_instance *skin = test_make_oi("skin", "quad");
        scene_add_oi(sc, skin);
        std::string p = path(name);
        EXPECT_TRUE(quox2_save_scene(p.c_str(), sc));
        scene_deinit(sc);
        return p;
    }
    std::string tool;
};

} // namespace

TEST_F(Quox2Tool, HelpAndUsage)
{
    test_run_result r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("dump [--json] FILE"), std::string::npos);
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("frobnicate x").status, 2);
    EXPECT_EQ(run("dump --nope x").status, 2);
}

TEST_F(Quox2Tool, DumpJsonOfAGoodAndOfATruncatedFile)
{
    std::string file = write_scene("good.quox2", false);
    test_run_result r = run("dump --json " + file);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("{\"loaded\":true,\"objects\":[{\"name\":\"quad\"", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"bones\":[\"body\"]"), std::string::npos);
    EXPECT_NE(r.out.find("\"terrain\":false}"), std::string::npos);

    // Cut inside the last chunk: what came before is still printed.
    std::string bytes = test_read_file(file);
    test_write_file(path("cut.quox2"), bytes.substr(0, bytes.size() - 10));
    r = run("dump --json " + path("cut.quox2"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("{\"loaded\":false,\"objects\":[{\"name\":\"quad\"", 0), 0u);
    EXPECT_NE(r.out.find("\"name\":\"paint\""), std::string::npos);
    EXPECT_NE(r.err.find("Load scene"), std::string::npos);

    r = run("dump " + file);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("object \"quad\""), std::string::npos);
}

TEST_F(Quox2Tool, DumpJsonOfEightBitNamesIsValidJson)
{
    // Names from an 8-bit exporter next to UTF-8 ones: a stray byte is escaped
    // as its Latin-1 character, well-formed UTF-8 is kept.
    scene *sc = scene_init();
    scene_add_object(sc, test_make_quad("caf\xE9 \xC3\xA9"));
    scene_add_material(sc, test_make_material("tab\there", "y\x81.tga"));
    std::string file = path("names.quox2");
    ASSERT_TRUE(quox2_save_scene(file.c_str(), sc));
    scene_deinit(sc);
    test_run_result r = run("dump --json " + file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"name\":\"caf\\u00e9 \xC3\xA9\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"name\":\"tab\\there\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"diffuse\":\"y\\u0081.tga\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\xE9'), std::string::npos);
}

TEST_F(Quox2Tool, CheckReportsEachMissingReference)
{
    std::string bad = write_scene("bad.quox2", true);
    test_run_result r = run("check " + bad + " --resources " + dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("* object instance \"body\" points to nonexisting object \"no_such_object\" in scene"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("parent object instance \"no_such_parent\" not found for object instance \"body\""),
              std::string::npos);
    EXPECT_NE(r.err.find("material \"no_such_material\" not found in scene"), std::string::npos);
    EXPECT_NE(r.err.find("Bone \"lost_bone\" for object instance \"skin\" not found in the scene!"), std::string::npos);
    EXPECT_NE(r.err.find("failed to load texture"), std::string::npos); // paint.tga is not there

    // A good scene with its texture in the resources folder prepares.
    std::string good = write_scene("good.quox2", false);
    const unsigned char tga[] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 1, 2, 3};
    test_write_file(path("paint.tga"), std::string(reinterpret_cast<const char *>(tga), sizeof tga));
    r = run("check " + good);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("the scene prepares"), std::string::npos);

    // A file that is not there.
    EXPECT_EQ(run("check " + path("missing.quox2")).status, 1);
}

TEST_F(Quox2Tool, ViewOptionsBelongToView)
{
    test_run_result r = run("--help");
    EXPECT_NE(r.out.find("view FILE [--camera NAME] [--frames N] [--record DIR]"), std::string::npos);
    std::string file = write_scene("good.quox2", false);
    EXPECT_EQ(run("dump --frames 3 " + file).status, 2);
    EXPECT_EQ(run("check --camera c " + file).status, 2);
    EXPECT_EQ(run("view --json " + file).status, 2);
    EXPECT_EQ(run("view --frames 0 " + file).status, 2);
    r = run("view --frames 12x " + file);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--frames takes a count"), std::string::npos) << r.err;
}
