#include "gameplay_core.h"

#include <cstring>
#include <string>
#include <strings.h>

#include "corelib/log.h"
#include "corelib/mem.h"
#include "corelib/parser.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

static const char *const GA_KIND_NAMES[GA_KINDS] = {
    "asteroid_a", "asteroid_b", "asteroid_c", "asteroid_d", "junk_a",   "junk_b",
    "junk_c",     "junk_d",     "fighter",    "station",    "sentinel",
};

const char *game_actor_kind_name(int32_t kind)
{
    return kind >= 0 && kind < GA_KINDS ? GA_KIND_NAMES[kind] : "unknown";
}

static const parser_key GA_PROPERTY_KEYS[] = {
    {"game_actor_type", 1, PARSER_VALUE_STRING, 0},
    {"game_actor_name", 1, PARSER_VALUE_STRING, 0},
};

const parser_key *game_actor_property_key_table(uint32_t *count)
{
    *count = sizeof(GA_PROPERTY_KEYS) / sizeof(GA_PROPERTY_KEYS[0]);
    return GA_PROPERTY_KEYS;
}

// Texts from the scene file are quoted at most this long in messages.
#define GA_QUOTE_MAX 200

static std::string __quote(const char *text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
    if (s.size() > GA_QUOTE_MAX) s = s.substr(0, GA_QUOTE_MAX) + "...(cut)";
    return s;
}

game_actor_system *gas_create()
{
    game_actor_system *gas = mem_new_zeroed<game_actor_system>();
    if (!gas) return nullptr;
    gas->interfaces = array_new<const game_actor_interface *>();
    if (!gas->interfaces) {
        mem_free(gas);
        return nullptr;
    }
    dlist_init(&gas->actors);
    return gas;
}

static void __free_oi_node(game_actor_oi *node)
{
    parser_line_list_free(&node->properties);
    mem_free(node);
}

static void __actor_destroy(game_actor *ga)
{
    if (ga->flags & GAME_ACTOR_INTERFACE_INITED) {
        ga->iface->deinit(ga);
        ga->flags &= ~GAME_ACTOR_INTERFACE_INITED;
    }
    ASSERT(!game_actor_has_state_struct(ga));
    while (!dlist_is_empty(&ga->ois)) {
        game_actor_oi *node = dlist_entry<game_actor_oi>(ga->ois.next);
        dlist_unlink(&node->link);
        if (node->oi && OI_get_game_actor(node->oi) == ga) OI_insert_game_actor(node->oi, nullptr);
        __free_oi_node(node);
    }
    mem_free(ga->name);
    mem_free(ga->type);
    mem_free(ga);
}

void gas_destroy(game_actor_system *gas)
{
    if (!gas) return;
    while (!dlist_is_empty(&gas->actors)) {
        game_actor *ga = dlist_entry<game_actor>(gas->actors.next);
        dlist_unlink(&ga->link);
        __actor_destroy(ga);
    }
    array_free(gas->interfaces);
    mem_free(gas);
}

bool gas_register_interface(game_actor_system *gas, const game_actor_interface *iface)
{
    return gas->interfaces->add(iface);
}

uint32_t gas_get_actors_no(const game_actor_system *gas) { return gas->actorsno; }

game_actor *gas_find_actor(game_actor_system *gas, const char *name, const char *type)
{
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (!strcmp(ga->name, name) && !strcmp(ga->type, type)) return ga;
    }
    return nullptr;
}

game_actor *gas_find_actor_by_oi(game_actor_system *gas, const object_instance *oi)
{
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        dlist_for_each(m, &ga->ois) if (dlist_entry<game_actor_oi>(m)->oi == oi) return ga;
    }
    return nullptr;
}

static const game_actor_interface *__find_interface(game_actor_system *gas, const char *type)
{
    for (const game_actor_interface *iface : *gas->interfaces)
        if (!strcmp(iface->name, type)) return iface;
    return nullptr;
}

// Parses an instance's properties against the two actor keys. Returns false
// (logged) when the parser refuses a line; the parsed lines go to `out`.
static bool __parse_actor_properties(object_instance *oi, dlist *out)
{
    uint32_t keys_no;
    const parser_key *keys = game_actor_property_key_table(&keys_no);
    const char *text = OI_get_user_defined_properties(oi);
    uint32_t start, end;
    for (uint32_t at = 0; parser_next_line(text, at, &start, &end); at = end) {
        std::string line(text + start, end - start);
        parser_line *rec = parser_line_new();
        if (!rec) BUG();
        int r = parser_process_line(rec, keys, keys_no, line.c_str());
        if (r == PARSER_LINE_PARSED) {
            dlist_insert_back(&rec->link, out);
            continue;
        }
        parser_line_free(rec);
        if (r == PARSER_LINE_ERROR) {
            do_log(LOG_WARNING, LOG_TO_ALL, "OI \"%s\": parser reported error in line \"%s\"!",
                   __quote(OI_get_name(oi)).c_str(), __quote(line.c_str()).c_str());
            return false;
        }
    }
    return true;
}

// The parser finds table keys whatever their case; so does the actor builder.
static parser_line *__find_key(dlist *lines, const char *key)
{
    dlist_for_each(n, lines)
    {
        parser_line *rec = dlist_entry<parser_line>(n);
        if (!strcasecmp(rec->key, key)) return rec;
    }
    return nullptr;
}

static bool __append_oi(game_actor *ga, object_instance *oi, dlist *properties)
{
    game_actor_oi *node = mem_new_zeroed<game_actor_oi>();
    if (!node) log_fault_bug("game_actor_add_oi", ".\\gameplay_core", 526);
    node->oi = oi;
    dlist_init(&node->properties);
    dlist_splice_front(properties, &node->properties);
    dlist_init(properties);
    dlist_insert_back(&node->link, &ga->ois);
    ga->oisno++;
    OI_insert_game_actor(oi, ga);
    return true;
}

// One instance: joins or makes its actor. False (logged) stops the building.
static bool __build_from_oi(game_actor_system *gas, scene *sc, object_instance *oi)
{
    dlist props;
    dlist_init(&props);
    if (!__parse_actor_properties(oi, &props)) {
        parser_line_list_free(&props);
        return false;
    }
    parser_line *type = __find_key(&props, "game_actor_type");
    parser_line *name = __find_key(&props, "game_actor_name");
    bool ok = true;
    if (!type && !name) {
        // not an actor
    } else if (!type) {
        do_log(LOG_WARNING, LOG_TO_ALL, "OI \"%s\": game actor name set \"%s\", please set the game actor type!",
               __quote(OI_get_name(oi)).c_str(), __quote(name->value1).c_str());
        ok = false;
    } else if (!name) {
        do_log(LOG_WARNING, LOG_TO_ALL, "OI \"%s\": game actor type set \"%s\", please set the game actor name!",
               __quote(OI_get_name(oi)).c_str(), __quote(type->value1).c_str());
        ok = false;
    } else if (game_actor *ga = gas_find_actor(gas, name->value1, type->value1)) {
        __append_oi(ga, oi, &props);
    } else {
        const game_actor_interface *iface = __find_interface(gas, type->value1);
        if (!iface) {
            do_log(LOG_WARNING, LOG_TO_ALL, "OI \"%s\": game actor implementation \"%s\" not found?!?",
                   __quote(OI_get_name(oi)).c_str(), __quote(type->value1).c_str());
            ok = false;
        } else {
            game_actor *nga = mem_new_zeroed<game_actor>();
            if (!nga) BUG();
            dlist_init(&nga->ois);
            nga->iface = iface;
            nga->flags |= GAME_ACTOR_INTERFACE;
            nga->name = mem_strdup(name->value1);
            nga->type = mem_strdup(type->value1);
            if (!nga->name || !nga->type) BUG();
            nga->flags |= GAME_ACTOR_NAME | GAME_ACTOR_TYPE;
            __append_oi(nga, oi, &props);
            nga->sc = sc;
            nga->flags |= GAME_ACTOR_SCENE;
            dlist_insert_back(&nga->link, &gas->actors);
            gas->actorsno++;
        }
    }
    parser_line_list_free(&props);
    return ok;
}

bool gas_build_actors(game_actor_system *gas, scene *sc)
{
    dlist_for_each(n, &sc->ois)
    {
        object_instance *oi = scene_oi_of(n);
        if (!OI_has_user_defined_properties(oi)) continue;
        if (!__build_from_oi(gas, sc, oi)) return false;
    }
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (ga->flags & GAME_ACTOR_INTERFACE_INITED) continue;
        ga->parent_gas = gas;
        ga->flags |= GAME_ACTOR_PARENT_GAS;
        if (!ga->iface->init(ga)) {
            do_log(LOG_WARNING, LOG_TO_ALL, "game actor \"%s\" of type \"%s\": init failed", __quote(ga->name).c_str(),
                   __quote(ga->type).c_str());
            return false;
        }
        ga->flags |= GAME_ACTOR_INTERFACE_INITED;
    }
    return true;
}

void gas_update_all(game_actor_system *gas, float dt)
{
    dlist_for_each(n, &gas->actors)
    {
        game_actor *ga = dlist_entry<game_actor>(n);
        if (ga->iface->update) ga->iface->update(ga, dt);
    }
}

const char *game_actor_get_name(const game_actor *ga)
{
    ASSERT(ga->flags & GAME_ACTOR_NAME);
    return ga->name;
}

bool game_actor_has_type(const game_actor *ga) { return (ga->flags & GAME_ACTOR_TYPE) != 0; }

const char *game_actor_get_type(const game_actor *ga)
{
    ASSERT(game_actor_has_type(ga));
    return ga->type;
}

scene *game_actor_get_scene(const game_actor *ga)
{
    ASSERT(ga->flags & GAME_ACTOR_SCENE);
    return ga->sc;
}

game_actor_system *game_actor_get_parent_gas(const game_actor *ga)
{
    ASSERT(ga->flags & GAME_ACTOR_PARENT_GAS);
    return ga->parent_gas;
}

bool game_actor_has_state_struct(const game_actor *ga) { return (ga->flags & GAME_ACTOR_STATE_STRUCT) != 0; }

void *game_actor_get_state_struct(const game_actor *ga)
{
    ASSERT(game_actor_has_state_struct(ga));
    return ga->state_struct;
}

void game_actor_insert_state_struct(game_actor *ga, void *state)
{
    ASSERT(!game_actor_has_state_struct(ga));
    ga->state_struct = state;
    ga->flags |= GAME_ACTOR_STATE_STRUCT;
}

void game_actor_remove_state_struct(game_actor *ga)
{
    ga->state_struct = nullptr;
    ga->flags &= ~GAME_ACTOR_STATE_STRUCT;
}

bool game_actor_interface_is_inited(const game_actor *ga) { return (ga->flags & GAME_ACTOR_INTERFACE_INITED) != 0; }

uint32_t game_actor_get_ois_no(const game_actor *ga) { return ga->oisno; }

object_instance *game_actor_find_oi(const game_actor *ga, const char *fragment)
{
    dlist_for_each(n, &ga->ois)
    {
        object_instance *oi = dlist_entry<game_actor_oi>(n)->oi;
        if (strstr(OI_get_name(oi), fragment)) return oi;
    }
    return nullptr;
}

object_instance *game_actor_need_oi(const game_actor *ga, const char *fragment)
{
    object_instance *oi = game_actor_find_oi(ga, fragment);
    if (!oi) {
        std::string reason = "\"game actor " + __quote(ga->name) + " has no instance " + __quote(fragment) + "\"";
        log_fault_reason("game_actor_find_oi", ".\\gameplay_core", 640, reason.c_str());
    }
    return oi;
}

tacka3 game_actor_get_center(const game_actor *ga)
{
    if (!ga->oisno) log_fault_bug("game_actor_get_center", ".\\gameplay_core", 781);
    tacka3 sum = {0.0f, 0.0f, 0.0f};
    dlist_for_each(n, &ga->ois) sum = tacka3_add(sum, OI_get_position_ws(dlist_entry<game_actor_oi>(n)->oi));
    return tacka3_scale(sum, 1.0f / float(ga->oisno));
}

static void __set_invisible(game_actor *ga, const char *value)
{
    dlist_for_each(n, &ga->ois) OI_set_desc(dlist_entry<game_actor_oi>(n)->oi, "invisible", value);
}

void game_actor_hide(game_actor *ga) { __set_invisible(ga, "true"); }

void game_actor_show(game_actor *ga) { __set_invisible(ga, "false"); }

void game_actor_event(game_actor *ga, int32_t code, void *argument)
{
    if (ga->iface->event) ga->iface->event(ga, code, argument);
}

bool game_actor_query(game_actor *ga, int32_t code, void *result)
{
    return ga->iface->query ? ga->iface->query(ga, code, result) : false;
}

bool game_actor_is_alive(game_actor *ga) { return ga->iface->is_alive ? ga->iface->is_alive(ga) : false; }

int32_t game_actor_kind(game_actor *ga)
{
    int32_t kind = -1;
    if (!game_actor_query(ga, GA_QUERY_KIND, &kind)) return -1;
    return kind;
}

bool game_actor_is_attacker(game_actor *ga)
{
    int32_t kind = game_actor_kind(ga);
    return kind >= 0 && kind < GA_ATTACKER_KINDS;
}
