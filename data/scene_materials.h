#pragma once
// The scene's materials, by name.
//
// Colours are kept as diffuse, ambient, specular and emission (the material's
// colours 0 to 3), value 0 is the shininess (0..1) and value 1 the opacity.
// A material without any texture is drawn by the solid profile, a composite
// one (layers with opacity masks) by the multitexture profile, every other
// one by the single-texture profile. Between them the single-texture
// materials use every path of that profile: diffuse alone; 24-bit and 32-bit
// normal maps with specular colour; a normal map without specular colour;
// gloss (specular) maps, self-illumination, detail and reflection maps.
// The renderer multiplies a self-illumination map into the surface, so the
// window map (black between the windows) is worn only by the dark window
// band of the station's core.

#include "scene_kit.h"

#define MAT_ROCK_A "rock_a"                   // diffuse, 24-bit normal map, detail
#define MAT_ROCK_B "rock_b"                   // diffuse, 32-bit normal map, detail
#define MAT_ROCK_MATTE "rock_matte"           // diffuse, normal map, no specular colour
#define MAT_ROCK_FAR "rock_far"               // diffuse only
#define MAT_JUNK "junk_metal"                 // diffuse, 24-bit normal map
#define MAT_JUNK_SHINY "junk_shiny"           // diffuse, gloss map, reflection
#define MAT_STATION "station_hull"            // diffuse, 32-bit normal map, gloss
#define MAT_STATION_WINDOWS "station_windows" // diffuse, self-illumination (the lit windows)
#define MAT_STATION_TRIM "station_trim"       // diffuse, gloss, detail
#define MAT_FIGHTER "fighter_hull"            // diffuse, 24-bit normal map, gloss, reflection
#define MAT_SENTINEL "sentinel_hull"          // diffuse, reflection
#define MAT_PAD "launch_pad"                  // diffuse, detail
#define MAT_GLASS "solid_glass"               // solid
#define MAT_ENGINE "solid_engine_glow"        // solid, emissive
#define MAT_BEACON "solid_beacon"             // solid, emissive red
#define MAT_SOLAR "solid_solar_cells"         // solid, glossy blue
#define MAT_ORE "ore_silo_layers"             // composite of the two layers below
#define MAT_ORE_METAL "ore_layer_metal"
#define MAT_ORE_CRUST "ore_layer_crust"
// The sky box faces: "sky_" + the instance name ("sky_front", ...).

bool scene_add_materials(scene_kit &k);
