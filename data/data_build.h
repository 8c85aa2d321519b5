#pragma once
// The game data build: writes the whole resource folder from code.
//
// Each kind of asset has its generator (data_<kind>.cpp); data_build() runs
// them in a fixed order on one thread, so that the same program always writes
// the same bytes. Names are given as the game spells them, with Windows
// backslashes, and mapped to real sub-folders when written.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "data_image.h"

// One picture shown on a preview contact sheet.
struct data_preview_item {
    std::string name;
    data_image thumb; // reduced copy, at most DATA_PREVIEW_THUMB on a side
    int w, h, bpp;    // the real picture's size and depth
    std::string info; // a caption in place of the size, for sounds
};

#define DATA_PREVIEW_THUMB 160

struct data_ctx {
    std::string out_dir;     // resource folder, ending in '/'
    std::string preview_dir; // contact sheets, ending in '/', or empty for none
    std::string icon_dir;    // desktop icons (<size>x<size>/apps/ below it), ending in '/', or empty for none
    bool quiet = false;
    int video_frames = 0; // frames of the intro to make; 0: the whole film (tests ask for fewer)
    int files = 0;
    uint64_t bytes = 0;
    std::vector<std::string> written; // every file written, by its game name
    std::map<std::string, std::vector<data_preview_item>> sheets;
    std::map<std::string, data_image> layouts; // full-size mock-ups (HUD, menus)
};

// Every generator has this form; false stops the build.
typedef bool (*data_generator)(data_ctx &ctx);

struct data_step {
    const char *name; // for progress lines and --only
    data_generator run;
};

// The steps in build order.
const std::vector<data_step> &data_steps();

// Makes the resource folder ready for a build: an earlier build's folder
// (it holds the marker file DATA_MARKER) is emptied when `empty` is set (a
// whole build) and kept otherwise (a build of some steps rewrites only their
// files), a missing one made; a folder with other files is refused (false),
// so nothing else is ever deleted.
#define DATA_MARKER ".vorn-data"
bool data_prepare_out_dir(const std::string &dir, bool empty = true);

// Runs the steps whose name is in `only` (all when empty). Prints progress
// unless quiet. Returns false when a step failed.
bool data_build(data_ctx &ctx, const std::vector<std::string> &only);

// The native path of a game name ("ui\\info\\pause.tga" -> out_dir/ui/info/pause.tga),
// its folders created.
std::string data_path(data_ctx &ctx, const std::string &name);
// Writes bytes under a game name.
bool data_write_file(data_ctx &ctx, const std::string &name, const void *bytes, size_t size);
bool data_write_file(data_ctx &ctx, const std::string &name, const std::vector<uint8_t> &bytes);
// Writes a picture (24 or 32 bits; the extension chooses the format) and puts
// it on the named contact sheet.
bool data_write_picture(data_ctx &ctx, const std::string &name, const data_image &img, int bpp,
                        const std::string &sheet);
// Counts a file that a library wrote at data_path(ctx, name) itself.
bool data_note_written(data_ctx &ctx, const std::string &name);
// Copies a file from the system (fonts).
bool data_copy_file(data_ctx &ctx, const std::string &name, const char *source);

// Puts a sound's spectrogram on the "sounds" or "music" contact sheet.
struct audio_buf;
void data_preview_sound(data_ctx &ctx, const std::string &name, const audio_buf &b);

// Writes the contact sheets of every picture written so far (PNG).
bool data_write_previews(data_ctx &ctx);
// Writes the desktop icon, the fighter, at each size into the icon folder
// as <size>x<size>/apps/DATA_ICON_FILE (the scene step calls it).
#define DATA_ICON_FILE "vvvorn.png"
struct scene_kit;
bool data_write_icons(data_ctx &ctx, const scene_kit &k);
// Writes app.ini naming the resource folder.
bool data_write_app_ini(const std::string &ini_path, const std::string &resource_dir);

// The generators, one per kind of asset.
bool data_gen_fonts(data_ctx &ctx);
bool data_gen_textures(data_ctx &ctx);
bool data_gen_particle_textures(data_ctx &ctx);
bool data_gen_hud(data_ctx &ctx);
bool data_gen_screens(data_ctx &ctx);
bool data_gen_particles(data_ctx &ctx);
bool data_gen_scene(data_ctx &ctx);
bool data_gen_effects(data_ctx &ctx);
bool data_gen_voices(data_ctx &ctx);
bool data_gen_music(data_ctx &ctx);
bool data_gen_video(data_ctx &ctx);
bool data_gen_terrain(data_ctx &ctx);
