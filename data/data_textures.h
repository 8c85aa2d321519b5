#pragma once
// The scene's texture files, by the names the scene's materials give them,
// and the sky box's face layout.

// Asteroids: rocky surfaces with normal maps (24-bit, and 32-bit with the
// height in alpha), a grey detail map for close views.
#define TEX_ROCK_A "rock_a.tga"
#define TEX_ROCK_A_NORMAL "rock_a_normal.tga" // 24-bit normal map
#define TEX_ROCK_B "rock_b.tga"
#define TEX_ROCK_B_NORMAL "rock_b_normal.tga" // 32-bit: normal, height in alpha
#define TEX_ROCK_DETAIL "rock_detail.tga"
// Junk: painted scrap metal.
#define TEX_JUNK "junk_panels.tga"
#define TEX_JUNK_NORMAL "junk_panels_normal.tga"
// The station: hull panels with normal, gloss and lit-window maps.
#define TEX_STATION "station_hull.tga"
#define TEX_STATION_NORMAL "station_hull_normal.tga" // 32-bit
#define TEX_STATION_SPECULAR "station_hull_gloss.tga"
#define TEX_STATION_LIGHTS "station_hull_lights.tga" // self-illumination
// The fighter and the sentinels.
#define TEX_FIGHTER "fighter_hull.tga"
#define TEX_FIGHTER_NORMAL "fighter_hull_normal.tga"
#define TEX_FIGHTER_SPECULAR "fighter_hull_gloss.tga"
#define TEX_SENTINEL "sentinel_hull.tga"
// Reflection map: the sky seen in a mirror ball.
#define TEX_REFLECTION "env_sky.tga"
// The launch pad: hazard-striped girders.
#define TEX_LAUNCH_PAD "launch_pad.tga"

// Sky box faces, one per skysphere instance ("left" ... "top"). Each face is
// seen from the inside: pixel (u, v) in [-1, 1] (u to the right, v downwards
// in the picture) shows the direction centre + u * right + v * down.
struct sky_face {
    const char *instance; // the skysphere instance that wears it
    const char *file;
    float centre[3], right[3], down[3];
};
#define SKY_FACES 6
extern const sky_face SKY_FACE_TABLE[SKY_FACES];
