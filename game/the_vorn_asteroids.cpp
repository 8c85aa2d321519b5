#include "the_vorn_asteroids.h"

#include <cstring>

#include "corelib/array.h"
#include "corelib/drand.h"
#include "corelib/log.h"
#include "corelib/matrix.h"
#include "game/gameplay_core.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

static const vorn_asteroids_level LEVELS[VORN_LEVELS] = {
    {2.0f, 4.0f, 1.0f, 2.0f, 5.5f, 6.5f},
    {2.0f, 3.2f, 1.0f, 2.0f, 5.5f, 6.8f},
};

static const vorn_asteroids_level *level = &LEVELS[0];
static float launch_timer, launch_interval;
static array<tacka3> *start_points;  // world space
static array<tacka3> *target_points; // the station's object space
static object_instance *station_oi;

static float __rand(float low, float high) { return float(drand_range(low, high)); }

// The mesh vertices of the instance; a missing instance or mesh is a fault report.
static object *__mesh_of(scene *sc, const char *name, object_instance **oi, int line)
{
    *oi = scene_get_oi_by_name(sc, name);
    if (!*oi || !OI_has_object(*oi) || !object_has_vertexs(OI_get_object(*oi)) || !OI_get_object(*oi)->vertexsno)
        log_fault_bug("vorn_asteroids_init", ".\\the_vorn_asteroids", line);
    return OI_get_object(*oi);
}

bool vorn_asteroids_init()
{
    scene *sc = vorn_get_scene();
    ASSERT(sc != NULL);
    vorn_asteroids_deinit();
    object_instance *pad;
    object *pad_mesh = __mesh_of(sc, "launch_pad", &pad, 60);
    object *station_mesh = __mesh_of(sc, "station", &station_oi, 63);
    start_points = array_new<tacka3>(pad_mesh->vertexsno);
    target_points = array_new<tacka3>(station_mesh->vertexsno);
    if (!start_points || !target_points) return false;
    OI_calc_world_transform(pad);
    const float *m = OI_get_matrix_ws(pad);
    for (uint32_t i = 0; i < pad_mesh->vertexsno; i++)
        start_points->add(matrix_transform_point(m, pad_mesh->vertexs[i]));
    for (uint32_t i = 0; i < station_mesh->vertexsno; i++) target_points->add(station_mesh->vertexs[i]);
    launch_timer = launch_interval = 0.0f;
    return true;
}

void vorn_asteroids_deinit()
{
    array_free(start_points);
    array_free(target_points);
    start_points = target_points = nullptr;
    station_oi = nullptr;
}

uint32_t vorn_asteroids_start_points_no() { return start_points ? start_points->get_size() : 0; }

uint32_t vorn_asteroids_target_points_no() { return target_points ? target_points->get_size() : 0; }

void vorn_asteroids_prepare_level(int lvl)
{
    if (lvl < 1 || lvl > VORN_LEVELS) log_fault_bug("vorn_asteroids_prepare_level", ".\\the_vorn_asteroids", 90);
    level = &LEVELS[lvl - 1];
    launch_timer = 0.0f;
    launch_interval = 0.0f;
}

const vorn_asteroids_level *vorn_asteroids_get_level() { return level; }

float vorn_asteroids_get_speed_max() { return level->speed_max; }

void vorn_asteroids_launch_timer(float dt)
{
    launch_timer += dt;
    if (launch_timer < launch_interval) return;
    launch_timer -= launch_interval;
    launch_interval = __rand(level->interval_min, level->interval_max);
    int n = int(__rand(level->count_min, level->count_max));
    for (int i = 0; i < n; i++) vorn_asteroid_launch();
}

int32_t vorn_asteroids_kind_for_roll(float roll)
{
    const vorn_chance *chances = vorn_get_chances();
    int32_t kind = -1;
    for (int32_t k = 0; k < GA_ATTACKER_KINDS; k++)
        if (chances[k].low <= roll && roll <= chances[k].high) kind = k;
    return kind;
}

game_actor *vorn_asteroids_find_dormant(int32_t kind)
{
    const char *type = game_actor_kind_name(kind);
    game_actor_system *gas = vorn_get_gas();
    ASSERT(gas != NULL);
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (!strcmp(game_actor_get_type(ga), type) && !game_actor_is_alive(ga)) return ga;
    }
    return nullptr;
}

static tacka3 __pick(const array<tacka3> *points)
{
    uint32_t i = uint32_t(drand_range(0.0, double(points->get_size())));
    if (i >= points->get_size()) i = points->get_size() - 1;
    return (*points)[i];
}

bool vorn_asteroid_launch()
{
    ASSERT(start_points != NULL);
    int32_t kind = vorn_asteroids_kind_for_roll(__rand(0.0f, 100.0f));
    if (kind < 0) return false;
    game_actor *ga = vorn_asteroids_find_dormant(kind);
    if (!ga) return false;
    ga_launch l;
    l.start = __pick(start_points);
    OI_calc_world_transform(station_oi);
    l.target = matrix_transform_point(OI_get_matrix_ws(station_oi), __pick(target_points));
    l.speed = __rand(level->speed_min, level->speed_max);
    game_actor_event(ga, GA_EVENT_LAUNCH, &l);
    return true;
}
