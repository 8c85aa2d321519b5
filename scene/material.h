#pragma once
// material: how an instance's surface is drawn (four colours, two values, a
// render flag and up to seven texture maps with their UV channels). Texture
// images live in shared unitexture records, one per file name per scene.

#include <cstdint>

#include "corelib/tacka.h"
#include "scene/scene_types.h"

enum {
    MAT_SLOT_DIFFUSE = 0,
    MAT_SLOT_BUMP = 1,
    MAT_SLOT_OPACITY = 2,
    MAT_SLOT_SPECULAR = 3,
    MAT_SLOT_SELFILLUMINATION = 4,
    MAT_SLOT_DETAIL = 5,
    MAT_SLOT_REFLECTION = 6,
    MAT_SLOTS = 7,
};

enum {
    MATERIAL_KIND_STANDARD = 0,
    MATERIAL_KIND_NESTED = 1,
    MATERIAL_KIND_COMPOSITE = 3,
};

// Per slot s: bit 3s has file name, 3s + 1 texture loaded, 3s + 2 parameters set.
enum : uint32_t {
    MAT_NAME = 1u << 21,
    MAT_ID = 1u << 22,
    MAT_FLAG = 1u << 23, // the render flag byte is non-zero
};

struct texture_slot {
    char *file_name;
    unitexture *tex;
    int32_t uv_channel;
    uint32_t param[2];
};

struct material {
    dlist link;
    uint32_t flags;
    int32_t material_kind;
    uint32_t id;
    int32_t texture_lod; // 0..3, 3 at creation
    int32_t in_renderer_ref_counter;
    uint8_t render_flag;
    texture_slot slots[MAT_SLOTS];
    uint8_t no_mipmap;
    uint8_t texture_option2;
    material *submat1, *submat2;
    uint32_t submat_no;
    uint32_t submat_capacity;
    char **submat_names;
    material **submats;
    tacka4 colors[4]; // file order 2, 1, 3, 4
    float values[2];
    char *name;
};

material *material_init();
void material_deinit(material *m); // frees nested materials and unlocks textures

bool material_has_name(const material *m);
const char *material_get_name(const material *m);
bool material_copy_name(material *m, const char *name);
void material_insert_name(material *m, char *name);
void material_free_name(material *m);
bool material_has_id(const material *m);
uint32_t material_get_id(const material *m);
void material_set_id(material *m, uint32_t id);
void material_removed_from_renderer(material *m);
// The slot names used in messages and tools: "diffuse", "opacity", ...
const char *material_slot_name(int slot);
// Slots in the order textures are prepared: diffuse, opacity, bump, specular,
// self-illumination, detail, reflection.
extern const int MATERIAL_SLOT_LOAD_ORDER[MAT_SLOTS];

// Slot access by index.
bool material_has_texture_file_name(const material *m, int slot);
const char *material_get_texture_file_name(const material *m, int slot);
bool material_copy_texture_file_name(material *m, int slot, const char *name);
void material_insert_texture_file_name(material *m, int slot, char *name);
void material_free_texture_file_name(material *m, int slot);
bool material_has_texture(const material *m, int slot);
unitexture *material_get_texture(const material *m, int slot);
bool material_has_slot_params(const material *m, int slot);
void material_set_slot_params(material *m, int slot, int32_t uv_channel, uint32_t p1, uint32_t p2);
int32_t material_get_texture_uv_channel_no(const material *m, int slot);
bool material_load_texture(material *m, int slot, scene *sc, const char *folder);
void material_unload_texture(material *m, int slot);

// The named forms.
#define MATERIAL_SLOT_DECL(n) \
    bool material_copy_##n##_texture_file_name(material *m, const char *name); \
    void material_insert_##n##_texture_file_name(material *m, char *name); \
    const char *material_get_##n##_texture_file_name(const material *m); \
    void material_free_##n##_texture_file_name(material *m); \
    unitexture *material_get_##n##_texture(const material *m); \
    int32_t material_get_##n##_texture_uv_channel_no(const material *m); \
    bool material_load_##n##_texture(material *m, scene *sc, const char *folder); \
    void material_unload_##n##_texture(material *m);
MATERIAL_SLOT_DECL(diffuse)
MATERIAL_SLOT_DECL(opacity)
MATERIAL_SLOT_DECL(bump)
MATERIAL_SLOT_DECL(specular)
MATERIAL_SLOT_DECL(selfillumination)
MATERIAL_SLOT_DECL(detail)
MATERIAL_SLOT_DECL(reflection)
#undef MATERIAL_SLOT_DECL

// Sub-materials.
// The material takes the sub-material; one it replaces is freed.
void material_set_submat1(material *m, material *sub);
void material_set_submat2(material *m, material *sub);
material *material_get_submat1(const material *m);
material *material_get_submat2(const material *m);
// Composite: sub-material names by index (the table grows as needed).
bool material_copy_submat_name(material *m, const char *name, uint32_t index);
bool material_reserve_submats(material *m, uint32_t count);
const char *material_get_submat_name(const material *m, uint32_t index); // null when empty
material *material_get_submat(const material *m, uint32_t index);
void material_set_submat(material *m, uint32_t index, material *sub);
uint32_t material_get_submat_no(const material *m);

// Textures of every slot with a file name, shared through the scene.
bool material_prepare_textures(material *m, scene *sc, const char *folder);
void __material_to_unitexture_lod(material *m, int level);
