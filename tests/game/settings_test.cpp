// The player's particle settings reach the game's particles.
#include <gtest/gtest.h>

#include <limits>

#include "frontend/configuration.h"
#include "game/the_vorn_particles.h"
#include "game/the_vorn_settings.h"

TEST(VornSettings, ParticlesOnTakeTheQuantityOffTakeNone)
{
    config_set_defaults();
    config_get()->sps_quantity = 0.4f;
    vorn_settings_apply_particles();
    EXPECT_FLOAT_EQ(vorn_particles_get_quantity(), 0.4f);
    config_get()->disable_ps = 1;
    vorn_settings_apply_particles();
    EXPECT_FLOAT_EQ(vorn_particles_get_quantity(), 0.0f);
    config_get()->disable_ps = 0;
    config_get()->sps_quantity = std::numeric_limits<float>::quiet_NaN();
    vorn_settings_apply_particles();
    EXPECT_FLOAT_EQ(vorn_particles_get_quantity(), CONFIG_DEFAULT_SPS_QUANTITY);
    config_set_defaults();
}
