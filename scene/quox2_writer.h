#pragma once
// Writing QUOX2 scene files: the exporter's side of the loader. A writer
// collects a file in memory; chunks may nest. The element writers write every
// chunk the loader reads for the element, so a scene built in memory with the
// scene API can be saved and loaded back.
//
//   quox2_writer *w = quox2_writer_create();
//   quox2_write_scene(w, sc);             // or element by element
//   quox2_writer_save(w, "vorn.quox2");
//   quox2_writer_free(w);

#include <cstddef>
#include <cstdint>

#include "corelib/tacka.h"
#include "scene/scene_types.h"

struct quox2_writer;

// A writer holding the 16-byte file header ("QUOX", a zero, eleven zeros).
quox2_writer *quox2_writer_create();
void quox2_writer_free(quox2_writer *w);
// The file so far (valid until the next write).
const uint8_t *quox2_writer_data(const quox2_writer *w, size_t *size);
// Writes the file; false (with a message) when it cannot be written or a chunk is still open.
bool quox2_writer_save(const quox2_writer *w, const char *path);

// Raw chunks. begin/end nest; end patches the size of the innermost open chunk.
bool quox2_writer_begin_chunk(quox2_writer *w, const char *id);
bool quox2_writer_end_chunk(quox2_writer *w);
bool quox2_writer_put(quox2_writer *w, const void *data, size_t size);
bool quox2_writer_put_u32(quox2_writer *w, uint32_t v);
bool quox2_writer_put_f32(quox2_writer *w, float v);
bool quox2_writer_put_string(quox2_writer *w, const char *text); // with its zero
// A whole chunk with the given payload.
bool quox2_writer_chunk(quox2_writer *w, const char *id, const void *data, size_t size);
bool quox2_writer_string_chunk(quox2_writer *w, const char *id, const char *text);

// Elements.
bool quox2_write_object(quox2_writer *w, const object *o);
bool quox2_write_oi(quox2_writer *w, const object_instance *oi);
bool quox2_write_material(quox2_writer *w, const material *m);
bool quox2_write_light(quox2_writer *w, const light *l);
bool quox2_write_camera(quox2_writer *w, const camera *c);
// A motion block ("#MOTI"), also used inside motion sets.
bool quox2_write_motion(quox2_writer *w, const motion *m);
// The set with its motions nested.
bool quox2_write_motionset(quox2_writer *w, const motionset *ms);
// Must be the last chunk of a file.
bool quox2_write_terrain(quox2_writer *w, const terrain *t);
// Every element of the scene: objects, materials, instances, motion sets (with
// their motions), motions without a set, lights, cameras, and the terrain last.
bool quox2_write_scene(quox2_writer *w, const scene *sc);
// Convenience: write a scene to a file.
bool quox2_save_scene(const char *path, const scene *sc);
