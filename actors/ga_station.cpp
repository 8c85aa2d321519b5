// "station": what the player defends. Its life (50 points) ends the game at 0
// and its power field recharges the fighter: fully within 150 units, falling
// linearly in the squared distance to nothing at 500 units, and weaker as the
// station is damaged.

#include <algorithm>
#include <string>

#include "actors/actors.h"
#include "corelib/log.h"
#include "corelib/mem.h"
#include "game/gameplay_core.h"
#include "game/resource_folder.h"
#include "game/the_vorn.h"
#include "game/the_vorn_particles.h"
#include "scene/object_instance.h"
#include "scene/scene.h"
#include "sound/auren.h"

#define STATION_PARTS 10

namespace {
struct ga_station_t {
    uint8_t alive;
    int32_t side;
    int32_t kind;
    float life;
    object_instance *parts[STATION_PARTS]; // "g_station", "station_01" .. "station_07", "station_10", "station_11"
    object_instance *body;                 // "station"
    auren_sound_t *explosion;
};
} // namespace

static const char *const STATION_PART_NAMES[STATION_PARTS] = {
    "g_station",  "station_01", "station_02", "station_03", "station_04",
    "station_05", "station_06", "station_07", "station_10", "station_11",
};

static void (*station_alert_handler)();

void ga_station_set_alert_handler(void (*handler)()) { station_alert_handler = handler; }

static ga_station_t *__state(game_actor *ga) { return static_cast<ga_station_t *>(game_actor_get_state_struct(ga)); }

float ga_station_distance_power_mod(float d2)
{
    if (d2 < GA_STATION_INNER_RADIUS * GA_STATION_INNER_RADIUS) return 1.0f;
    return 1.0f - std::clamp((d2 - GA_STATION_INNER_RADIUS * GA_STATION_INNER_RADIUS) * 4.3956043e-6f, 0.0f, 1.0f);
}

float ga_station_functionality_mod(float life) { return std::clamp(life * 0.02f, 0.0f, 1.0f); }

static float __distance_mod(ga_station_t *ks, tacka3 position)
{
    return ga_station_distance_power_mod(tacka3_length2(tacka3_sub(OI_get_position_ws(ks->body), position)));
}

static bool station_init(game_actor *ga)
{
    scene *sc = game_actor_get_scene(ga);
    ga_station_t *ks = mem_new_zeroed<ga_station_t>();
    if (!ks) return false;
    for (int i = 0; i < STATION_PARTS; i++) {
        ks->parts[i] = scene_get_oi_by_name(sc, STATION_PART_NAMES[i]);
        if (!ks->parts[i]) {
            do_log(LOG_WARNING, LOG_TO_ALL, "station_init(): instance \"%s\" not found", STATION_PART_NAMES[i]);
            log_fault_bug("station_init", ".\\ga_station", 60);
        }
    }
    ks->body = scene_get_oi_by_name(sc, "station");
    if (!ks->body) log_fault_bug("station_init", ".\\ga_station", 64);
    ks->life = GA_STATION_MAX_LIFE;
    ks->kind = GA_KIND_STATION;
    ks->side = GA_SIDE_DEFENDERS;
    std::string path = resource_path("sound\\asteroid_explode.ogg");
    ks->explosion = auren_load(path.c_str());
    if (!ks->explosion) log_fault_assert("station_init", ".\\ga_station", 70, "ks->explosion != NULL");
    ks->alive = 1;
    game_actor_insert_state_struct(ga, ks);
    game_actor_hide(ga);
    OI_set_desc(ks->parts[0], "invisible", "false");
    return true;
}

static void station_deinit(game_actor *ga)
{
    ga_station_t *ks = __state(ga);
    auren_sound_deinit(ks->explosion);
    mem_free(ks);
    game_actor_remove_state_struct(ga);
}

static bool station_is_alive(game_actor *ga) { return __state(ga)->alive != 0; }

static void __station_update(game_actor *ga, float) { (void)station_is_alive(ga); }

static void __station_afflict_damage(ga_station_t *ks, const ga_damage *d)
{
    auren_source_t *src = auren_source_add(ks->explosion);
    if (src) {
        auren_set_pitch(src, 1.0f);
        auren_set_gain(src, 1.0f);
        auren_set_reference_distance(src, 60.0f);
        auren_set_max_distance(src, 120.0f);
        auren_set_position_ws(src, OI_get_position_ws(ks->body));
        auren_set_and_forget(src);
        auren_source_play(src);
    }
    vorn_create_station_hit(d->point);
    if (station_alert_handler) station_alert_handler();
    ks->life = std::clamp(ks->life - d->amount, 0.0f, GA_STATION_MAX_LIFE);
    int32_t penalty = -GA_STATION_HIT_PENALTY;
    game_actor_event(vorn_get_game_actor("fighter", "fighter"), GA_EVENT_ADD_SCORE, &penalty);
}

static void station_event(game_actor *ga, int32_t code, void *argument)
{
    ga_station_t *ks = __state(ga);
    switch (code) {
    case GA_EVENT_START: ks->life = GA_STATION_MAX_LIFE; break;
    case GA_EVENT_DAMAGE:
        ASSERT(argument != NULL);
        __station_afflict_damage(ks, static_cast<const ga_damage *>(argument));
        break;
    default: log_fault_bug("station_event", ".\\ga_station", 121);
    }
}

static bool station_query(game_actor *ga, int32_t code, void *result)
{
    ga_station_t *ks = __state(ga);
    switch (code) {
    case GA_STATION_Q_NOTHING: return true;
    case GA_STATION_Q_DISTANCE_MOD: {
        ga_station_power_query *q = static_cast<ga_station_power_query *>(result);
        q->answer = __distance_mod(ks, q->position);
        return true;
    }
    case GA_STATION_Q_FUNCTIONALITY_MOD:
        *static_cast<float *>(result) = ga_station_functionality_mod(ks->life);
        return true;
    case GA_STATION_Q_ENERGY: {
        ga_station_power_query *q = static_cast<ga_station_power_query *>(result);
        q->answer = __distance_mod(ks, q->position) * ((ga_station_functionality_mod(ks->life) + 1.0f) * 0.5f) * q->dt *
                    GA_STATION_ENERGY_RATE;
        return true;
    }
    case GA_STATION_Q_INNER_RADIUS: *static_cast<float *>(result) = GA_STATION_INNER_RADIUS; return true;
    case GA_STATION_Q_OUTER_RADIUS: *static_cast<float *>(result) = GA_STATION_OUTER_RADIUS; return true;
    case GA_QUERY_POSITION: *static_cast<tacka3 *>(result) = OI_get_position_ws(ks->body); return true;
    case GA_QUERY_LIFE: *static_cast<float *>(result) = ks->life; return true;
    case GA_QUERY_KIND: *static_cast<int32_t *>(result) = ks->kind; return true;
    case GA_QUERY_SIDE: *static_cast<int32_t *>(result) = ks->side; return true;
    case GA_QUERY_MAIN_OI: log_fault_bug("station_query", ".\\ga_station", 150);
    default: return false;
    }
}

const game_actor_interface ga_station_interface = {"station",        station_init,     station_deinit, station_event,
                                                   station_is_alive, __station_update, station_query};
