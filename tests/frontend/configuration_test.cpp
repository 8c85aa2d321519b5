// The settings file: defaults, levels, damaged and hostile files, the
// configuration screen's apply, cancel and Escape, the change word.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "corelib/log.h"
#include "frontend/configuration.h"
#include "frontend/configuration_screen.h"
#include "renderer/OGL_input.h"
#include "renderer/OGL_settings.h"
#include "test_support.h"

namespace {

// The 24 bytes of a record, put together field by field here.
std::string record_bytes(uint8_t disable_ps, uint8_t no_ambient, float q, float s, float sps, float terra, float vol)
{
    std::string out(24, '\0');
    out[0] = char(disable_ps);
    out[1] = char(no_ambient);
    float f[5] = {q, s, sps, terra, vol};
    for (int i = 0; i < 5; i++) {
        uint32_t bits;
        memcpy(&bits, &f[i], 4);
        for (int b = 0; b < 4; b++) out[4 + 4 * i + b] = char((bits >> (8 * b)) & 0xff);
    }
    return out;
}

class ConfigTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log_file_set(path("log.txt").c_str());
        log_file_truncate();
        config_set_file(path("game_config.ini").c_str());
        config_set_defaults();
        config_set_change_word(0);
        OGL_render_settings_reset();
        OGL_input_reset();
    }
    void TearDown() override
    {
        config_set_file(nullptr);
        config_set_defaults();
        TempDirTest::TearDown();
    }
    std::string file() const { return path("game_config.ini"); }
    std::string log() const { return test_read_file(path("log.txt")); }
};

TEST_F(ConfigTest, FirstStartWritesAndAppliesTheDefaults)
{
    config_get()->volume = 0.1f; // whatever was in memory
    config_load_and_apply();
    EXPECT_NE(log().find("config: no config file found"), std::string::npos);
    EXPECT_EQ(test_read_file(file()), record_bytes(0, 0, 1.0f, 1.0f, 1.0f, 0.75f, 0.7f));
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 0);
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 4);
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 0.7f);
    EXPECT_TRUE(config_particles_enabled());
    EXPECT_FLOAT_EQ(config_get_sps_quantity(), 1.0f);
    EXPECT_FLOAT_EQ(config_get_volume(), 0.7f);
}

TEST_F(ConfigTest, ShortFileIsReportedAndRewritten)
{
    test_write_file(file(), record_bytes(1, 1, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f).substr(0, 10));
    EXPECT_FALSE(config_load());
    EXPECT_NE(log().find("config: config file read mismatch"), std::string::npos);
    EXPECT_FLOAT_EQ(config_get()->volume, 0.7f);
    config_load_and_apply();
    EXPECT_EQ(test_read_file(file()), record_bytes(0, 0, 1.0f, 1.0f, 1.0f, 0.75f, 0.7f));
}

TEST_F(ConfigTest, FileIsReadAndApplied)
{
    test_write_file(file(), record_bytes(1, 0, 0.75f, 0.5f, 0.3f, 0.2f, 0.4f));
    config_load_and_apply();
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 1);
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 3);
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 0.4f);
    EXPECT_FALSE(config_particles_enabled());
    EXPECT_FLOAT_EQ(config_get_sps_quantity(), 0.3f);
    EXPECT_FLOAT_EQ(config_get_terra_horizon(), 0.2f);
    // A good file is left as it was.
    EXPECT_EQ(test_read_file(file()), record_bytes(1, 0, 0.75f, 0.5f, 0.3f, 0.2f, 0.4f));
    // Bytes past the record are not the record's.
    test_write_file(file(), record_bytes(0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f) + "trailing");
    EXPECT_TRUE(config_load());
    EXPECT_FLOAT_EQ(config_get()->volume, 0.5f);
}

TEST_F(ConfigTest, Levels)
{
    EXPECT_EQ(config_texture_size_level(0.5f), 1);
    EXPECT_EQ(config_texture_size_level(0.2f), 2);
    EXPECT_EQ(config_texture_size_level(0.9f), 0);
    EXPECT_EQ(config_texture_size_level(0.33f), 2);
    EXPECT_EQ(config_texture_size_level(0.66f), 1);
    EXPECT_EQ(config_texture_quality_level(0.75f), 3);
    EXPECT_EQ(config_texture_quality_level(0.0f), 0);
    EXPECT_EQ(config_texture_quality_level(1.0f), 4);
    EXPECT_EQ(config_texture_quality_level(0.24f), 0);
    EXPECT_EQ(config_material_texture_level(0.2f), 1);
    EXPECT_EQ(config_material_texture_level(0.5f), 2);
    EXPECT_EQ(config_material_texture_level(0.9f), 3);
}

TEST_F(ConfigTest, OutOfRangeAndNonFiniteValuesAreClampedWhenApplied)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    test_write_file(file(), record_bytes(7, 9, 12.0f, -3.0f, nan, -inf, inf));
    config_load_and_apply();
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 4);
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 2);
    EXPECT_FLOAT_EQ(config_get_sps_quantity(), 1.0f); // not a number: the default
    EXPECT_FLOAT_EQ(config_get_terra_horizon(), 0.0f);
    EXPECT_FLOAT_EQ(config_get_volume(), 1.0f);
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 1.0f);
    EXPECT_FALSE(config_particles_enabled());
    EXPECT_EQ(config_texture_size_level(nan), 0);
    EXPECT_EQ(config_texture_quality_level(nan), 4);
    EXPECT_EQ(config_texture_quality_level(-inf), 0);
}

TEST_F(ConfigTest, HostileFilesOfAnyLength)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 200; round++) {
        std::string bytes(rng() % 60, '\0');
        for (char &c : bytes) c = char(rng());
        test_write_file(file(), bytes);
        config_load_and_apply();
        int size_level = OGL_render_settings_get_texture_size_reduction();
        int quality = OGL_render_settings_get_texture_filter_quality();
        ASSERT_TRUE(size_level >= 0 && size_level <= 2);
        ASSERT_TRUE(quality >= 0 && quality <= 4);
        for (float v : {config_get_sps_quantity(), config_get_terra_horizon(), config_get_volume()})
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
        // A short file is rewritten with the defaults; a whole record is kept as it is.
        ASSERT_EQ(test_read_file(file()),
                  bytes.size() < 24 ? record_bytes(0, 0, 1.0f, 1.0f, 1.0f, 0.75f, 0.7f) : bytes);
    }
}

TEST_F(ConfigTest, FailedSaveKeepsTheSettingsAndTheOldFile)
{
    config_set_file("/proc/game_config.ini");
    config_get()->volume = 0.3f;
    EXPECT_FALSE(config_save());
    EXPECT_NE(log().find("config: could not write into the config file."), std::string::npos);
    config_load_and_apply(); // missing and not writable: the defaults, the game goes on
    EXPECT_FLOAT_EQ(config_get_volume(), 0.7f);
}

TEST_F(ConfigTest, ChangeWord)
{
    game_config a = *config_get(), b = a;
    EXPECT_EQ(config_compute_changes(&a, &b), 0u);
    b.disable_ps = 1;
    b.volume = 0.2f;
    EXPECT_EQ(config_compute_changes(&a, &b), CONFIG_CHANGED_PARTICLES_OFF | CONFIG_CHANGED_VOLUME);
    EXPECT_EQ(config_compute_changes(&b, &a), CONFIG_CHANGED_PARTICLES_ON | CONFIG_CHANGED_VOLUME);
    b = a;
    b.no_ambient = 1;
    b.tex_size = 0.5f;
    b.tex_quality = 0.25f;
    b.sps_quantity = 0.5f;
    b.terra_horizon = 0.1f;
    EXPECT_EQ(config_compute_changes(&a, &b), CONFIG_CHANGED_AMBIENT_OFF | 0x801u | 0x400u | 0x20u | 0x200u);
    EXPECT_EQ(config_compute_changes(&b, &a) & CONFIG_CHANGED_AMBIENT_ON, CONFIG_CHANGED_AMBIENT_ON);
    a.volume = b.volume = std::numeric_limits<float>::quiet_NaN();
    b = a;
    EXPECT_EQ(config_compute_changes(&a, &b), 0u);
    config_set_change_word(CONFIG_CHANGED_TEX_SIZE);
    EXPECT_TRUE(config_changed(0x800));
    EXPECT_TRUE(config_changed(0x001));
    EXPECT_FALSE(config_changed(CONFIG_CHANGED_VOLUME));
}

TEST_F(ConfigTest, ScreenLayoutMatchesTheWidgetsItReads)
{
    uint32_t count = 0;
    const config_widget_layout *layout = config_screen_layout(&count);
    ASSERT_EQ(count, 9u);
    int sliders = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (layout[i].kind == CONFIG_WIDGET_SLIDER) {
            sliders++;
            EXPECT_EQ(layout[i].length, 148);
        }
        EXPECT_EQ(layout[i].layer, strcmp(layout[i].name, "bckg") == 0 ? 1 : 3);
    }
    EXPECT_EQ(sliders, 5);
    // No widget for no_ambient: applying always writes it 0.
    for (uint32_t i = 0; i < count; i++) EXPECT_STRNE(layout[i].name, "no_ambient");
}

TEST_F(ConfigTest, EscapeLeavesTheFileUnchanged)
{
    std::string before = record_bytes(0, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f);
    test_write_file(file(), before);
    config_load_and_apply();
    config_screen_widgets w;
    config_screen_open(nullptr, &w);
    EXPECT_FLOAT_EQ(w.volume, 0.5f);
    w.volume = 0.9f; // moved, then left with Escape
    w.disable_ps = 1;
    EXPECT_EQ(config_screen_step(&w), CONFIG_SCREEN_RUNNING);
    OGL_input_tap_key(OGL_KEY_ESC);
    EXPECT_EQ(config_screen_step(&w), CONFIG_SCREEN_ESCAPED);
    config_screen_close();
    EXPECT_EQ(test_read_file(file()), before);
    EXPECT_EQ(config_get_change_word(), 0u);
    EXPECT_FLOAT_EQ(config_get_volume(), 0.5f);
}

TEST_F(ConfigTest, CancelLeavesTheFileUnchanged)
{
    std::string before = record_bytes(0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f);
    test_write_file(file(), before);
    config_load_and_apply();
    config_screen_widgets w;
    config_screen_open(nullptr, &w);
    w.tex_size = 0.0f;
    w.cancel_clicked = 1;
    EXPECT_EQ(config_screen_step(&w), CONFIG_SCREEN_CANCELLED);
    config_screen_close();
    EXPECT_EQ(test_read_file(file()), before);
    EXPECT_EQ(config_get_change_word(), 0u);
}

TEST_F(ConfigTest, ApplySavesTheWidgetsAndAmbientByteBecomesZero)
{
    test_write_file(file(), record_bytes(0, 1, 1.0f, 1.0f, 1.0f, 0.75f, 0.7f));
    config_load_and_apply();
    int mx = 0, my = 0;
    OGL_input_set_mouse_pos(123, 45);
    config_screen_widgets w;
    config_screen_open(nullptr, &w);
    OGL_input_set_mouse_pos(500, 500);
    w.tex_quality = 0.75f;
    w.tex_size = 0.5f;
    w.volume = 0.25f;
    w.apply_clicked = 1;
    EXPECT_EQ(config_screen_step(&w), CONFIG_SCREEN_APPLIED);
    config_screen_close();
    OGL_input_get_mouse_pos(&mx, &my);
    EXPECT_EQ(mx, 123);
    EXPECT_EQ(my, 45);
    std::string after = test_read_file(file());
    EXPECT_EQ(after, record_bytes(0, 0, 0.75f, 0.5f, 1.0f, 0.75f, 0.25f));
    EXPECT_EQ(after[1], '\0');
    EXPECT_EQ(config_get_change_word(),
              CONFIG_CHANGED_AMBIENT_ON | CONFIG_CHANGED_TEX_QUALITY | CONFIG_CHANGED_TEX_SIZE | CONFIG_CHANGED_VOLUME);
    config_apply_changes(nullptr);
    EXPECT_EQ(OGL_render_settings_get_texture_size_reduction(), 1);
    EXPECT_EQ(OGL_render_settings_get_texture_filter_quality(), 3);
    EXPECT_FLOAT_EQ(OGL_render_settings_get_volume(), 0.25f);
}

TEST_F(ConfigTest, ScreenStartsFromTheSettingsInEffectWhenTheFileIsGone)
{
    test_write_file(file(), record_bytes(1, 0, 0.25f, 0.25f, 0.25f, 0.25f, 0.25f));
    config_load_and_apply();
    test_remove_tree(file());
    config_screen_widgets w;
    config_screen_open(nullptr, &w);
    EXPECT_EQ(w.disable_ps, 1);
    EXPECT_FLOAT_EQ(w.volume, 0.25f);
    EXPECT_FLOAT_EQ(w.tex_size, 0.25f);
    OGL_input_tap_key(OGL_KEY_ESC);
    EXPECT_EQ(config_screen_step(&w), CONFIG_SCREEN_ESCAPED);
    config_screen_close();
    EXPECT_EQ(config_get_change_word(), 0u);
}

} // namespace
