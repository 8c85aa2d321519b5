// Stand-ins for the attackers, the station and the sentinels until their
// implementations join: they take their instances and stay dormant.

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
DORMANT(ga_asteroid_a_interface, "asteroid_a")
DORMANT(ga_asteroid_b_interface, "asteroid_b")
DORMANT(ga_asteroid_c_interface, "asteroid_c")
DORMANT(ga_asteroid_d_interface, "asteroid_d")
DORMANT(ga_junk_a_interface, "junk_a")
DORMANT(ga_junk_b_interface, "junk_b")
DORMANT(ga_junk_c_interface, "junk_c")
DORMANT(ga_junk_d_interface, "junk_d")
DORMANT(ga_sentinel_interface, "sentinel")

// The station stand-in keeps its full life so that levels run.
static bool station_query(game_actor *, int32_t code, void *result)
{
    if (code != GA_QUERY_LIFE) return false;
    *static_cast<float *>(result) = 50.0f;
    return true;
}
const game_actor_interface ga_station_interface = {"station", dormant_init, dormant_deinit, nullptr,
                                                   dormant_is_alive, nullptr, station_query};
