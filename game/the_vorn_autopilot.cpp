#include "the_vorn_autopilot.h"

#include <algorithm>
#include <cmath>

#include "actors/actors.h"
#include "corelib/view.h"
#include "game/gameplay_core.h"
#include "game/the_vorn.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_hi_score.h"
#include "renderer/OGL_input.h"

// Below this share of energy the pilot flies home; it leaves full.
#define AP_LOW_ENERGY 0.2f
#define AP_FULL_ENERGY 0.95f
// Inside this distance of the station the field recharges fastest.
#define AP_HOME_DISTANCE 110.0f
#define AP_FIRE_RANGE 350.0f
#define AP_FIRE_CONE 0.06f
#define AP_CLOSE_DISTANCE 60.0f
#define AP_MISSILE_ENERGY 0.8f
#define AP_MISSILE_PERIOD 1.5f
// Mouse pixels per unit of tangent off the view axis.
#define AP_STEER_GAIN 500.0f
#define AP_NAME "AUTOPILOT"

static struct {
    vorn_autopilot_stats stats;
    int32_t last_state;
    bool homing;
    float since_tap, since_missile;
    bool keys[OGL_KEY_STATES];
    bool buttons[OGL_MOUSE_BUTTONS];
    int mouse_x, mouse_y;
    int name_typed;
} ap;

void vorn_autopilot_reset()
{
    ap = {};
    ap.last_state = -1;
    ap.mouse_x = 400;
    ap.mouse_y = 300;
}

const vorn_autopilot_stats *vorn_autopilot_get_stats()
{
    // The game being played counts with what it has scored so far.
    static vorn_autopilot_stats now;
    now = ap.stats;
    int32_t state = vorn_game_get_state();
    game_actor_system *gas = vorn_get_gas();
    game_actor *fighter = gas ? gas_find_actor(gas, "fighter", "fighter") : nullptr;
    if (fighter && (state == VORN_GAME_LEVEL || state == VORN_GAME_STATISTICS)) {
        int32_t score = 0;
        game_actor_query(fighter, GA_FIGHTER_Q_SCORE, &score);
        now.score += score;
    }
    return &now;
}

// Input only on change: a held key or button is one press and one release.
static void __hold_key(int key, bool down)
{
    if (ap.keys[key] == down) return;
    ap.keys[key] = down;
    OGL_input_key_event(key, down ? OGL_PRESS : OGL_RELEASE);
}

static void __hold_button(int button, bool down)
{
    if (ap.buttons[button] == down) return;
    ap.buttons[button] = down;
    OGL_input_mouse_button_event(button, down ? OGL_PRESS : OGL_RELEASE);
}

static void __let_go()
{
    for (int k = 0; k < OGL_KEY_STATES; k++) __hold_key(k, false);
    for (int b = 0; b < OGL_MOUSE_BUTTONS; b++) __hold_button(b, false);
}

static void __move_mouse(int x, int y)
{
    x = std::clamp(x, 0, 799);
    y = std::clamp(y, 0, 599);
    int cx, cy;
    OGL_input_get_mouse_pos(&cx, &cy);
    if (cx != x || cy != y) OGL_input_mouse_move_event(x, y);
    ap.mouse_x = x;
    ap.mouse_y = y;
}

// Taps at most every so often, so that screens fading in get their chance.
static void __tap_now_and_then(int key, float dt, float period)
{
    ap.since_tap += dt;
    if (ap.since_tap < period) return;
    ap.since_tap = 0.0f;
    OGL_input_tap_key(key);
}

static float __fighter_float(game_actor *f, int32_t code)
{
    float v = 0.0f;
    game_actor_query(f, code, &v);
    return v;
}

// The attacker nearest the view axis ahead, or the nearest one at all.
static bool __pick_target(game_actor *fighter, tacka3 eye, tacka3 forward, tacka3 *at)
{
    float best = -1e30f;
    bool found = false;
    tacka3 here{0, 0, 0};
    game_actor_query(fighter, GA_FIGHTER_Q_POSITION, &here);
    dlist_for_each(n, &vorn_get_gas()->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (!game_actor_is_attacker(ga) || !game_actor_is_alive(ga)) continue;
        tacka3 p;
        if (!game_actor_query(ga, GA_QUERY_POSITION, &p)) continue;
        tacka3 to = tacka3_sub(p, eye);
        float dist = std::sqrt(tacka3_length2(tacka3_sub(p, here)));
        float along = tacka3_length2(to) > 1e-8f ? tacka3_dot(tacka3_normalize(to), forward) : 1.0f;
        // Ahead and near first: a turn costs more than a little distance.
        float merit = along * 400.0f - dist;
        if (merit > best) {
            best = merit;
            *at = p;
            found = true;
        }
    }
    return found;
}

// Steers the pointer towards a point of the world: its offset from the
// centre of the screen is where the point is seen, so the ship turns to it.
// Returns the tangents off the view axis (large when behind).
static void __steer_at(tacka3 eye, tacka3 forward, tacka3 up, tacka3 point, float *sx, float *sy, float *depth)
{
    tacka3 right = tacka3_normalize(tacka3_cross(forward, up));
    tacka3 true_up = tacka3_cross(right, forward);
    tacka3 d = tacka3_sub(point, eye);
    float z = tacka3_dot(d, forward), x = tacka3_dot(d, right), y = tacka3_dot(d, true_up);
    *depth = z;
    if (z < 1.0f) {
        // Behind: a hard turn to the nearer side.
        *sx = x >= 0.0f ? 1.0f : -1.0f;
        *sy = y >= 0.0f ? -0.3f : 0.3f;
    } else {
        *sx = x / z;
        *sy = -y / z;
    }
    __move_mouse(400 + int(std::lround(*sx * AP_STEER_GAIN)), 300 + int(std::lround(*sy * AP_STEER_GAIN)));
}

static void __fly(float dt)
{
    game_actor *fighter = vorn_get_game_actor("fighter", "fighter");
    game_actor *station = vorn_get_game_actor("station", "station");
    view *v = vorn_get_view_camera();
    if (!fighter || !station || !v) return;
    tacka3 eye = view_get_position(v);
    tacka3 look = tacka3_sub(view_get_target(v), eye);
    if (tacka3_length2(look) < 1e-12f) return;
    tacka3 forward = tacka3_normalize(look), up = view_get_up(v);

    float lasers = __fighter_float(fighter, GA_FIGHTER_Q_LASERS);
    float engine = __fighter_float(fighter, GA_FIGHTER_Q_ENGINE);
    if (lasers < AP_LOW_ENERGY || engine < AP_LOW_ENERGY) ap.homing = true;
    if (ap.homing && lasers >= AP_FULL_ENERGY && engine >= AP_FULL_ENERGY) ap.homing = false;

    tacka3 here{0, 0, 0}, goal{0, 0, 0};
    game_actor_query(fighter, GA_FIGHTER_Q_POSITION, &here);
    float sx, sy, depth;
    if (ap.homing) {
        game_actor_query(station, GA_QUERY_POSITION, &goal);
        float dist = std::sqrt(tacka3_length2(tacka3_sub(goal, here)));
        __steer_at(eye, forward, up, goal, &sx, &sy, &depth);
        bool facing = depth > 0.0f && std::fabs(sx) < 0.3f && std::fabs(sy) < 0.3f;
        __hold_key('W', dist > AP_HOME_DISTANCE && facing);
        __hold_button(OGL_MOUSE_BUTTON_LEFT, false);
        __hold_button(OGL_MOUSE_BUTTON_RIGHT, false);
        return;
    }
    if (!__pick_target(fighter, eye, forward, &goal)) {
        // Nothing to fight: wait by the station.
        game_actor_query(station, GA_QUERY_POSITION, &goal);
        float dist = std::sqrt(tacka3_length2(tacka3_sub(goal, here)));
        __steer_at(eye, forward, up, goal, &sx, &sy, &depth);
        __hold_key('W', dist > AP_HOME_DISTANCE * 2.0f && depth > 0.0f);
        __hold_button(OGL_MOUSE_BUTTON_LEFT, false);
        __hold_button(OGL_MOUSE_BUTTON_RIGHT, false);
        return;
    }
    float dist = std::sqrt(tacka3_length2(tacka3_sub(goal, here)));
    __steer_at(eye, forward, up, goal, &sx, &sy, &depth);
    bool on_target = depth > 0.0f && std::fabs(sx) < AP_FIRE_CONE && std::fabs(sy) < AP_FIRE_CONE;
    __hold_key('W', dist > AP_CLOSE_DISTANCE && depth > 0.0f && std::fabs(sx) < 0.5f);
    __hold_key('S', dist < AP_CLOSE_DISTANCE * 0.5f);
    __hold_button(OGL_MOUSE_BUTTON_LEFT, on_target && dist < AP_FIRE_RANGE);

    // A missile now and then at the locked target.
    ap.since_missile += dt;
    game_actor *locked = nullptr;
    game_actor_query(fighter, GA_FIGHTER_Q_TARGET, &locked);
    bool fire_missile = locked && lasers >= AP_MISSILE_ENERGY && ap.since_missile >= AP_MISSILE_PERIOD;
    if (fire_missile) ap.since_missile = 0.0f;
    __hold_button(OGL_MOUSE_BUTTON_RIGHT, fire_missile);
}

static void __hi_score_screen(float dt)
{
    const vorn_hi_score_screen *hs = vorn_hi_score_get_screen();
    if (!hs->started) return;
    if (hs->sub_state == HS_SUB_NAME_ENTRY) {
        // One character per frame, then Enter.
        if (AP_NAME[ap.name_typed])
            OGL_input_char_event(AP_NAME[ap.name_typed++]);
        else
            __tap_now_and_then(OGL_KEY_ENTER, dt, 0.3f);
    } else if (hs->sub_state == HS_SUB_TABLE) {
        __tap_now_and_then(OGL_KEY_SPACE, dt, 0.5f);
    }
}

static void __count(int32_t state)
{
    if (state == ap.last_state) return;
    game_actor *fighter = vorn_get_game_actor("fighter", "fighter");
    if (ap.last_state == VORN_GAME_LEVEL && state == VORN_GAME_STATISTICS) ap.stats.levels++;
    if (state == VORN_GAME_HISCORE && fighter) {
        int32_t score = 0;
        game_actor_query(fighter, GA_FIGHTER_Q_SCORE, &score);
        ap.stats.score += score;
    }
    if (state == VORN_GAME_LEVEL && ap.last_state != VORN_GAME_STATISTICS) ap.stats.games++;
    if (state != VORN_GAME_LEVEL) __let_go();
    ap.name_typed = 0;
    ap.since_tap = 0.0f;
    ap.homing = false;
    ap.last_state = state;
}

void vorn_autopilot_frame(float dt)
{
    int32_t state = vorn_game_get_state();
    __count(state);
    switch (state) {
    case VORN_GAME_INTRO: __tap_now_and_then(OGL_KEY_SPACE, dt, 0.5f); break;
    case VORN_GAME_TITLE: __tap_now_and_then(OGL_KEY_ESC, dt, 1.0f); break;
    case VORN_GAME_LEVEL:
        if (!vorn_game_is_paused()) __fly(dt);
        break;
    case VORN_GAME_STATISTICS: __tap_now_and_then(OGL_KEY_SPACE, dt, 1.0f); break;
    case VORN_GAME_HISCORE: __hi_score_screen(dt); break;
    default: break;
    }
}
