#include "the_vorn_settings.h"

#include "frontend/configuration.h"
#include "game/the_vorn_particles.h"

void vorn_settings_apply_particles()
{
    vorn_particles_set_quantity(config_particles_enabled() ? config_get_sps_quantity() : 0.0f);
}
