// Stand-in for the fighter until its implementation joins: it takes its
// instances and stays dormant.

#include "actors/actors.h"
#include "corelib/mem.h"
#include "game/gameplay_core.h"

namespace {
struct dormant_state {
    uint8_t alive;
};
bool dormant_init(game_actor *ga)
{
    game_actor_insert_state_struct(ga, mem_new_zeroed<dormant_state>());
    return true;
}
void dormant_deinit(game_actor *ga)
{
    mem_free(game_actor_get_state_struct(ga));
    game_actor_remove_state_struct(ga);
}
bool dormant_is_alive(game_actor *) { return false; }
}  // namespace

#define DORMANT(ident, text) \
    const game_actor_interface ident = {text, dormant_init, dormant_deinit, nullptr, dormant_is_alive, nullptr, nullptr};
DORMANT(ga_fighter_interface, "fighter")
