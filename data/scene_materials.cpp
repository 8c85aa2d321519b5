// The scene's materials: which texture maps each surface wears and its colours.

#include "scene_materials.h"

#include <string>

#include "data_textures.h"
#include "scene/material.h"
#include "scene/scene.h"

namespace {

struct mat_def {
    const char *name;
    const char *maps[MAT_SLOTS]; // by slot: diffuse, bump, opacity, specular, self-illumination, detail, reflection
    tacka3 diffuse, ambient, specular, emission;
    float shininess;
};

} // namespace

static material *__material(const mat_def &d)
{
    material *m = material_init();
    if (!m) return nullptr;
    bool ok = material_copy_name(m, d.name);
    for (int s = 0; s < MAT_SLOTS && ok; s++) {
        if (d.maps[s]) ok = material_copy_texture_file_name(m, s, d.maps[s]);
        // The detail map tiles finely over the second texture channel.
        material_set_slot_params(m, s, s == MAT_SLOT_DETAIL ? 1 : 0, 0, 0);
    }
    if (!ok) {
        material_deinit(m);
        return nullptr;
    }
    m->material_kind = MATERIAL_KIND_STANDARD;
    const tacka3 c[4] = {d.diffuse, d.ambient, d.specular, d.emission};
    for (int i = 0; i < 4; i++) m->colors[i] = {c[i].x, c[i].y, c[i].z, 1.0f};
    m->values[0] = d.shininess;
    m->values[1] = 1.0f;
    return m;
}

bool scene_add_materials(scene_kit &k)
{
    const tacka3 W = {1, 1, 1}, K = {0, 0, 0}, A = {0.35f, 0.35f, 0.38f};
    // maps: diffuse, bump, opacity, specular, self-illumination, detail, reflection
    const mat_def defs[] = {
        {MAT_ROCK_A,
         {TEX_ROCK_A, TEX_ROCK_A_NORMAL, nullptr, nullptr, nullptr, TEX_ROCK_DETAIL, nullptr},
         W,
         A,
         {0.40f, 0.38f, 0.36f},
         K,
         0.15f},
        {MAT_ROCK_B,
         {TEX_ROCK_B, TEX_ROCK_B_NORMAL, nullptr, nullptr, nullptr, TEX_ROCK_DETAIL, nullptr},
         W,
         A,
         {0.45f, 0.42f, 0.40f},
         K,
         0.20f},
        {MAT_ROCK_MATTE,
         {TEX_ROCK_A, TEX_ROCK_B_NORMAL, nullptr, nullptr, nullptr, nullptr, nullptr},
         W,
         A,
         {0.10f, 0.10f, 0.10f},
         K,
         0.05f},
        {MAT_ROCK_FAR,
         {TEX_ROCK_B, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
         {0.85f, 0.82f, 0.80f},
         A,
         {0.05f, 0.05f, 0.05f},
         K,
         0.05f},
        {MAT_JUNK,
         {TEX_JUNK, TEX_JUNK_NORMAL, nullptr, nullptr, nullptr, nullptr, nullptr},
         W,
         A,
         {0.60f, 0.60f, 0.60f},
         K,
         0.45f},
        {MAT_JUNK_SHINY,
         {TEX_JUNK, nullptr, nullptr, TEX_FIGHTER_SPECULAR, nullptr, nullptr, TEX_REFLECTION},
         W,
         A,
         {0.80f, 0.80f, 0.80f},
         K,
         0.60f},
        {MAT_STATION,
         {TEX_STATION, TEX_STATION_NORMAL, nullptr, TEX_STATION_SPECULAR, nullptr, nullptr, nullptr},
         W,
         A,
         {0.70f, 0.70f, 0.75f},
         K,
         0.50f},
        {MAT_STATION_WINDOWS,
         {TEX_STATION, nullptr, nullptr, nullptr, TEX_STATION_LIGHTS, nullptr, nullptr},
         W,
         A,
         {0.30f, 0.30f, 0.30f},
         K,
         0.30f},
        {MAT_STATION_TRIM,
         {TEX_STATION, nullptr, nullptr, TEX_STATION_SPECULAR, nullptr, TEX_ROCK_DETAIL, nullptr},
         {0.80f, 0.80f, 0.82f},
         A,
         {0.60f, 0.60f, 0.60f},
         K,
         0.40f},
        {MAT_FIGHTER,
         {TEX_FIGHTER, TEX_FIGHTER_NORMAL, nullptr, TEX_FIGHTER_SPECULAR, nullptr, nullptr, TEX_REFLECTION},
         W,
         A,
         {0.90f, 0.90f, 0.90f},
         K,
         0.70f},
        {MAT_SENTINEL,
         {TEX_SENTINEL, nullptr, nullptr, nullptr, nullptr, nullptr, TEX_REFLECTION},
         W,
         A,
         {0.70f, 0.70f, 0.70f},
         K,
         0.55f},
        {MAT_PAD,
         {TEX_LAUNCH_PAD, nullptr, nullptr, nullptr, nullptr, TEX_ROCK_DETAIL, nullptr},
         W,
         A,
         {0.40f, 0.40f, 0.40f},
         K,
         0.30f},
        {MAT_GLASS, {}, {0.05f, 0.12f, 0.16f}, {0.02f, 0.05f, 0.07f}, {1.0f, 1.0f, 1.0f}, {0.0f, 0.04f, 0.06f}, 0.95f},
        {MAT_ENGINE, {}, {1.0f, 0.75f, 0.45f}, K, K, {1.0f, 0.62f, 0.30f}, 0.0f},
        {MAT_BEACON, {}, {1.0f, 0.15f, 0.10f}, K, K, {1.0f, 0.12f, 0.08f}, 0.0f},
        {MAT_SOLAR, {}, {0.08f, 0.12f, 0.35f}, {0.03f, 0.04f, 0.10f}, {0.80f, 0.85f, 1.0f}, {0.0f, 0.0f, 0.02f}, 0.85f},
        {MAT_ORE_METAL,
         {TEX_LAUNCH_PAD, nullptr, TEX_ROCK_B_NORMAL, nullptr, nullptr, nullptr, nullptr},
         W,
         A,
         {0.3f, 0.3f, 0.3f},
         K,
         0.3f},
        {MAT_ORE_CRUST,
         {TEX_ROCK_A, nullptr, TEX_ROCK_B_NORMAL, nullptr, nullptr, nullptr, nullptr},
         W,
         A,
         {0.1f, 0.1f, 0.1f},
         K,
         0.1f},
    };
    for (const mat_def &d : defs) {
        material *m = __material(d);
        if (!m) return false;
        scene_add_material(k.sc, m);
    }
    // The sky: unlit pictures, shown at full brightness.
    for (const sky_face &f : SKY_FACE_TABLE) {
        mat_def d = {nullptr, {f.file}, W, W, K, W, 0.0f};
        std::string name = std::string("sky_") + f.instance;
        d.name = name.c_str();
        material *m = __material(d);
        if (!m) return false;
        scene_add_material(k.sc, m);
    }
    // The ore silo: crusted rock laid over the metal by the crust's mask.
    material *ore = material_init();
    if (!ore || !material_copy_name(ore, MAT_ORE) || !material_copy_submat_name(ore, MAT_ORE_METAL, 0) ||
        !material_copy_submat_name(ore, MAT_ORE_CRUST, 1)) {
        if (ore) material_deinit(ore);
        return false;
    }
    ore->material_kind = MATERIAL_KIND_COMPOSITE;
    const tacka3 c[4] = {W, A, {0.3f, 0.3f, 0.3f}, K};
    for (int i = 0; i < 4; i++) ore->colors[i] = {c[i].x, c[i].y, c[i].z, 1.0f};
    ore->values[0] = 0.2f;
    ore->values[1] = 1.0f;
    scene_add_material(k.sc, ore);
    return true;
}
