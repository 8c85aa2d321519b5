// The designers' quox2 tool reads particle files too: system and composer
// files are told apart by their magic and printed as one JSON document.

#include <gtest/gtest.h>

#include "corelib/files.h"
#include "particles/sps_file.h"
#include "test_support.h"

class Quox2ParticleDump : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        tool = std::string(VORN_BINARY_DIR) + "/bin/quox2";
        if (!file_exists(tool.c_str())) GTEST_SKIP() << "quox2 not built";
    }
    int dump(const std::string &file, std::string *out)
    {
        test_run_result r = test_run(tool + " dump --json '" + file + "'");
        *out = r.out;
        return r.status;
    }
    std::string tool;
};

TEST_F(Quox2ParticleDump, SystemAndComposerFilesAndRefusals)
{
    spsquox2 *s = spsquox2_init();
    spsquox2_copy_name(s, "sparks");
    spsquox2_copy_texture(s, "glow.tga");
    spsquox2_data d = {};
    d.duration = 2.0f;
    d.population = 50;
    d.life_min = d.life_max = 1.0f;
    d.burst = 25.0f;
    d.time_scale = 1.0f;
    spsquox2_set_data(s, &d);
    spsquox2_keyframe k0 = {0, 0.0f, {0, 1, 0}, {1, 1}, 0, {1, 0.5f, 0, 1}};
    spsquox2_keyframe k1 = {0, 1.0f, {0, 2, 0}, {2, 2}, 0, {1, 0, 0, 0}};
    spsquox2_add_keyframe(s, &k0);
    spsquox2_add_keyframe(s, &k1);
    ASSERT_TRUE(spsquox2_save_system_to_file(path("sparks.spsquox2").c_str(), s));
    spsquox2_deinit(s);

    spcquox2 *c = spcquox2_init();
    spcquox2_copy_name(c, "burst");
    spcquox2_add_system(c, "sparks.spsquox2");
    ASSERT_TRUE(spcquox2_save_composer_to_file(path("burst.spcquox2").c_str(), c));
    spcquox2_deinit(c);

    std::string out;
    ASSERT_EQ(dump(path("sparks.spsquox2"), &out), 0);
    EXPECT_NE(out.find("\"name\":\"sparks\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"texture\":\"glow.tga\""), std::string::npos);
    EXPECT_NE(out.find("\"population\":50"), std::string::npos);
    EXPECT_NE(out.find("\"keyframes\":[[0,0,1,0,1,1,0,1,0.5,0,1],[1,0,2,0,2,2,0,1,0,0,0]]"), std::string::npos) << out;

    ASSERT_EQ(dump(path("burst.spcquox2"), &out), 0);
    EXPECT_NE(out.find("\"systems\":[\"sparks.spsquox2\"]"), std::string::npos) << out;

    // A damaged particle file fails like a damaged scene.
    std::string bytes = test_read_file(path("sparks.spsquox2"));
    test_write_file(path("cut.spsquox2"), bytes.substr(0, bytes.size() - 20));
    EXPECT_EQ(dump(path("cut.spsquox2"), &out), 1);
}
