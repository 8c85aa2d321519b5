#pragma once
// The player's settings (frontend/configuration.h) applied to what the game
// itself owns: the particle quantity.
//
// Called after config_load_and_apply() once the particles exist (vorn_init,
// after vorn_init_particles) and after the configuration screen.

// Particles on: the configured quantity goes to the particle manager. Off:
// quantity 0, which hides debris and the explosion compositions and runs the
// other pools at their least.
void vorn_settings_apply_particles();
