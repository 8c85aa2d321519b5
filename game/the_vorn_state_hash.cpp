#include "the_vorn_state_hash.h"

#include <cstring>

#include "actors/actors.h"
#include "corelib/drand.h"
#include "game/gameplay_core.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_hi_score.h"
#include "game/the_vorn_shots.h"
#include "particles/simple_particles.h"
#include "scene/object_instance.h"

template <typename T> static uint64_t __mix(uint64_t h, const T &v) { return vorn_hash_bytes(h, &v, sizeof v); }

static uint64_t __mix_text(uint64_t h, const char *s)
{
    return s ? vorn_hash_bytes(h, s, std::strlen(s) + 1) : __mix(h, 0);
}

// A query's answer, or a marker when the actor does not answer it.
template <typename T> static uint64_t __mix_query(uint64_t h, game_actor *ga, int32_t code)
{
    T v{};
    if (!game_actor_query(ga, code, &v)) return __mix(h, uint8_t(0xee));
    return __mix(h, v);
}

static uint64_t __actors(uint64_t h)
{
    game_actor_system *gas = vorn_get_gas();
    if (!gas) return h;
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        h = __mix_text(h, ga->name);
        h = __mix_text(h, ga->type);
        h = __mix(h, uint8_t(game_actor_is_alive(ga)));
        if (game_actor_kind(ga) == GA_KIND_FIGHTER) {
            h = __mix_query<float>(h, ga, GA_FIGHTER_Q_LIFE);
            h = __mix_query<float>(h, ga, GA_FIGHTER_Q_ENGINE);
            h = __mix_query<float>(h, ga, GA_FIGHTER_Q_LASERS);
            h = __mix_query<int32_t>(h, ga, GA_FIGHTER_Q_SCORE);
        } else {
            h = __mix_query<float>(h, ga, GA_QUERY_LIFE);
        }
        dlist_for_each(m, &ga->ois)
        {
            const game_actor_oi *gaoi = dlist_entry<game_actor_oi>(m);
            h = __mix(h, OI_get_position(gaoi->oi));
            h = __mix(h, OI_get_rotation(gaoi->oi));
        }
    }
    return h;
}

static uint64_t __weapons(uint64_t h)
{
    for (uint32_t i = 0; i < vorn_shots_pool_size(); i++) {
        const vorn_shot_t *s = vorn_shot_get(i);
        h = __mix(h, s->active);
        if (!s->active) continue;
        tacka3 at{0, 0, 0};
        if (s->pulse) sps_get_position(s->pulse, &at);
        h = __mix(h, at);
        h = __mix(h, s->direction);
        h = __mix(h, s->age);
        h = __mix(h, s->power);
        h = __mix_text(h, s->shooter ? s->shooter->name : nullptr);
    }
    for (uint32_t i = 0; i < vorn_missiles_pool_size(); i++) {
        const vorn_missile_t *m = vorn_missile_get(i);
        h = __mix(h, m->active);
        if (!m->active) continue;
        tacka3 at{0, 0, 0};
        if (m->missile) sps_get_position(m->missile, &at);
        h = __mix(h, at);
        h = __mix(h, m->age);
        h = __mix(h, m->speed);
        h = __mix(h, m->type);
        h = __mix_text(h, m->target ? m->target->name : nullptr);
    }
    return h;
}

static uint64_t __hi_scores(uint64_t h)
{
    const vorn_hi_score_screen *hs = vorn_hi_score_get_screen();
    h = __mix(h, hs->sub_state);
    h = __mix(h, hs->score);
    if (!hs->table) return __mix(h, uint8_t(0));
    uint8_t bytes[HS_FILE_SIZE_MAX];
    size_t size = hiscore_table_encode(hs->table, bytes);
    return vorn_hash_bytes(h, bytes, size);
}

uint64_t vorn_state_hash()
{
    uint64_t h = VORN_HASH_SEED;
    h = __mix(h, vorn_game_get_state());
    h = __mix(h, vorn_get_current_level());
    h = __mix(h, vorn_get_level_time());
    h = __mix(h, drand_cursor());
    h = __actors(h);
    h = __weapons(h);
    return __hi_scores(h);
}
