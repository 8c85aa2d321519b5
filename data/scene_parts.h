#pragma once
// The parts of "vorn.quox2", each built into the kit, and the layout they
// share. Distances are in the game's units: the fighter flies at up to 36
// units per second, shots reach 396 units, the station's power field is full
// within 150 units and gone beyond 500, attackers fly at 5.5 to 6.8 units per
// second from the launch pad to the station.

#include <vector>

#include "scene_kit.h"

// The station sits at the origin, its axis along y.
#define LAYOUT_STATION_POS \
    tacka3 { 0, 0, 0 }
// The launch pad: a girder ring facing the station, beyond the sentinels'
// reach (150) and within a shot's range of the station's edge.
#define LAYOUT_PAD_POS \
    tacka3 { -330, 40, -90 }
#define LAYOUT_PAD_RADIUS 55.0f
// The fighter's starting place, beside the station, nose towards the pad.
#define LAYOUT_FIGHTER_POS \
    tacka3 { 45, 12, -95 }
// Sentinels on a ring about the station.
#define LAYOUT_SENTINEL_RING 78.0f
#define LAYOUT_SENTINELS 8
// Dormant attackers wait in a hidden park far below the playing space.
#define LAYOUT_PARK_POS \
    tacka3 { 0, -4000, 0 }
#define LAYOUT_ATTACKERS_PER_KIND 10
// The sky box's half size (inside every camera's far plane).
#define LAYOUT_SKY_HALF 5000.0f
// The title cinematic's length in seconds.
#define LAYOUT_CINEMA_SECONDS 16.0f

bool scene_build_station(scene_kit &k);   // "station", "g_station", "station_01" ... "station_11"
bool scene_build_sentinels(scene_kit &k); // "sentinel_01" ... "sentinel_08", their recoil motions
bool scene_build_fighter(scene_kit &k);   // the fighter rig, its cameras
bool scene_build_attackers(scene_kit &k); // eight pools of dormant asteroids and junk
bool scene_build_field(scene_kit &k);     // "launch_pad" and the asteroid field around it
bool scene_build_sky(scene_kit &k);       // the six skysphere instances
bool scene_build_lights(scene_kit &k);    // sun, fill and station lights
bool scene_build_cinematic(scene_kit &k); // "cinema_BOL_ROOT", its motion and "cinema_Camera01"
// Points along the cinematic's flight (a few units apart), so that scenery
// keeps clear of it.
std::vector<tacka3> scene_cinematic_path();
