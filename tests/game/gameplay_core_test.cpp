// The game actor system: actors made from instance properties, the messages
// that stop a start on incomplete data, and the calls between actors.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actors/actors.h"
#include "corelib/parser.h"
#include "game/gameplay_core.h"
#include "scene/object_instance.h"
#include "scene/scene.h"

namespace {

struct probe_state {
    uint8_t alive;
    int32_t side, kind;
    float life;
    std::vector<int32_t> events;
    float updated;
};

std::vector<std::string> inits, deinits;
bool fail_init_of_b;

bool probe_init(game_actor *ga)
{
    inits.push_back(game_actor_get_name(ga));
    if (fail_init_of_b && std::string(game_actor_get_name(ga)) == "b") return false;
    probe_state *s = new probe_state{1, GA_SIDE_ATTACKERS, GA_KIND_ASTEROID_B, 5.0f, {}, 0.0f};
    game_actor_insert_state_struct(ga, s);
    return true;
}
void probe_deinit(game_actor *ga)
{
    deinits.push_back(game_actor_get_name(ga));
    delete static_cast<probe_state *>(game_actor_get_state_struct(ga));
    game_actor_remove_state_struct(ga);
}
void probe_event(game_actor *ga, int32_t code, void *)
{
    static_cast<probe_state *>(ga->state_struct)->events.push_back(code);
}
bool probe_is_alive(game_actor *ga) { return static_cast<probe_state *>(ga->state_struct)->alive; }
void probe_update(game_actor *ga, float dt) { static_cast<probe_state *>(ga->state_struct)->updated += dt; }
bool probe_query(game_actor *ga, int32_t code, void *result)
{
    probe_state *s = static_cast<probe_state *>(ga->state_struct);
    switch (code) {
    case GA_QUERY_KIND: *static_cast<int32_t *>(result) = s->kind; return true;
    case GA_QUERY_LIFE: *static_cast<float *>(result) = s->life; return true;
    default: return false;
    }
}
const game_actor_interface PROBE = {"probe",        probe_init,   probe_deinit, probe_event,
                                    probe_is_alive, probe_update, probe_query};
const game_actor_interface SILENT = {"silent", probe_init, probe_deinit, nullptr, probe_is_alive, nullptr, nullptr};

class GameActors : public ::testing::Test {
  protected:
    // Suites that ran before may have left the parser started.
    static void SetUpTestSuite()
    {
        started_parser = !parser_is_inited();
        if (started_parser) {
            ASSERT_TRUE(parser_init());
        }
    }
    static void TearDownTestSuite()
    {
        if (started_parser) parser_deinit();
    }
    static inline bool started_parser = false;
    void SetUp() override
    {
        sc = scene_init();
        gas = gas_create();
        ASSERT_TRUE(gas_register_interface(gas, &PROBE));
        ASSERT_TRUE(gas_register_interface(gas, &SILENT));
        inits.clear();
        deinits.clear();
        fail_init_of_b = false;
    }
    void TearDown() override
    {
        gas_destroy(gas);
        scene_deinit(sc);
    }
    object_instance *add(const char *name, const char *props, tacka3 at = {0, 0, 0})
    {
        object_instance *oi = OI_init();
        OI_copy_name(oi, name);
        if (props) OI_copy_user_defined_properties(oi, props);
        OI_set_position(oi, at);
        scene_add_oi(sc, oi);
        return oi;
    }
    // Builds, capturing what is logged.
    bool build()
    {
        testing::internal::CaptureStderr();
        bool ok = gas_build_actors(gas, sc);
        log = testing::internal::GetCapturedStderr();
        return ok;
    }
    scene *sc;
    game_actor_system *gas;
    std::string log;
};

TEST_F(GameActors, InstancesWithTheSameNameAndTypeFormOneActor)
{
    object_instance *a1 = add("rock_1", "game_actor_type = \"probe\"\r\ngame_actor_name = \"a\"\r\n", {0, 0, 0});
    object_instance *a2 = add(
        "rock_1_part", "collidable = true\r\ngame_actor_name = \"a\"\r\ngame_actor_type = \"probe\"\r\n", {2, 0, 0});
    add("plain", nullptr);
    add("only_switches", "solid = true\r\n");
    object_instance *b = add("rock_2", "GAME_ACTOR_TYPE = \"silent\"\r\ngame_actor_name = \"a\"\r\n");
    ASSERT_TRUE(build()) << log;

    EXPECT_EQ(gas_get_actors_no(gas), 2u);
    game_actor *a = gas_find_actor(gas, "a", "probe");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(game_actor_get_ois_no(a), 2u);
    EXPECT_EQ(OI_get_game_actor(a1), a);
    EXPECT_EQ(gas_find_actor_by_oi(gas, a2), a);
    game_actor *s = gas_find_actor(gas, "a", "silent");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(gas_find_actor_by_oi(gas, b), s);
    EXPECT_EQ(gas_find_actor(gas, "A", "probe"), nullptr) << "names match exactly";

    tacka3 c = game_actor_get_center(a);
    EXPECT_FLOAT_EQ(c.x, 1.0f);
    EXPECT_FLOAT_EQ(c.y, 0.0f);
    EXPECT_EQ(game_actor_find_oi(a, "part"), a2);
    EXPECT_EQ(game_actor_find_oi(a, "rock"), a1) << "the first in the actor's order";
    EXPECT_EQ(game_actor_find_oi(a, "nothing"), nullptr);

    // Built in scene order, initialised in list order, destroyed in list order.
    EXPECT_EQ(inits, (std::vector<std::string>{"a", "a"}));
    gas_destroy(gas);
    gas = nullptr;
    EXPECT_EQ(deinits, (std::vector<std::string>{"a", "a"}));
    EXPECT_FALSE(OI_has_game_actor(a1)) << "destroyed actors leave no back-pointer";
    gas = gas_create();
}

TEST_F(GameActors, EventsQueriesUpdatesAndVisibilityGoThroughTheInterface)
{
    object_instance *oi = add("rock", "game_actor_type = \"probe\"\r\ngame_actor_name = \"a\"\r\n");
    add("quiet", "game_actor_type = \"silent\"\r\ngame_actor_name = \"q\"\r\n");
    ASSERT_TRUE(build()) << log;
    game_actor *a = gas_find_actor(gas, "a", "probe");
    game_actor *q = gas_find_actor(gas, "q", "silent");

    ga_damage d = {2.0f, 0, {0, 0, 0}};
    game_actor_event(a, GA_EVENT_DAMAGE, &d);
    game_actor_event(q, GA_EVENT_DAMAGE, &d); // no event slot: nothing happens
    EXPECT_EQ(static_cast<probe_state *>(a->state_struct)->events, std::vector<int32_t>{GA_EVENT_DAMAGE});
    float life = 0;
    EXPECT_TRUE(game_actor_query(a, GA_QUERY_LIFE, &life));
    EXPECT_FLOAT_EQ(life, 5.0f);
    EXPECT_FALSE(game_actor_query(a, GA_QUERY_SPEED, &life));
    EXPECT_FALSE(game_actor_query(q, GA_QUERY_LIFE, &life)) << "a null query slot answers false";
    EXPECT_TRUE(game_actor_is_attacker(a));
    EXPECT_FALSE(game_actor_is_attacker(q));

    gas_update_all(gas, 0.25f);
    gas_update_all(gas, 0.25f);
    EXPECT_FLOAT_EQ(static_cast<probe_state *>(a->state_struct)->updated, 0.5f);

    game_actor_hide(a);
    EXPECT_TRUE(OI_get_desc(oi)->invisible);
    game_actor_show(a);
    EXPECT_FALSE(OI_get_desc(oi)->invisible);
}

TEST_F(GameActors, IncompleteActorsStopTheStartNamingTheInstance)
{
    struct {
        const char *props;
        const char *message;
    } cases[] = {
        {"game_actor_name = \"a\"\r\n", "OI \"bad\": game actor name set \"a\", please set the game actor type!"},
        {"game_actor_type = \"probe\"\r\n",
         "OI \"bad\": game actor type set \"probe\", please set the game actor name!"},
        {"game_actor_type = \"laser_cow\"\r\ngame_actor_name = \"a\"\r\n",
         "OI \"bad\": game actor implementation \"laser_cow\" not found?!?"},
        {"game_actor_type = station\r\ngame_actor_name = \"a\"\r\n",
         "OI \"bad\": parser reported error in line \"game_actor_type = station\"!"},
    };
    for (const auto &c : cases) {
        gas_destroy(gas);
        scene_deinit(sc);
        sc = scene_init();
        gas = gas_create();
        gas_register_interface(gas, &PROBE);
        add("good", "game_actor_type = \"probe\"\r\ngame_actor_name = \"g\"\r\n");
        add("bad", c.props);
        EXPECT_FALSE(build()) << c.props;
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        EXPECT_EQ(log.find("[CRITICAL]"), std::string::npos) << "a refused scene is no fault report: " << log;
    }
}

TEST_F(GameActors, AFailedInitStopsTheBuildingAndTheRestIsStillReleased)
{
    add("x", "game_actor_type = \"probe\"\r\ngame_actor_name = \"a\"\r\n");
    add("y", "game_actor_type = \"probe\"\r\ngame_actor_name = \"b\"\r\n");
    add("z", "game_actor_type = \"probe\"\r\ngame_actor_name = \"c\"\r\n");
    fail_init_of_b = true;
    EXPECT_FALSE(build());
    EXPECT_EQ(inits, (std::vector<std::string>{"a", "b"}));
    EXPECT_NE(log.find("\"b\""), std::string::npos) << log;
    gas_destroy(gas);
    gas = gas_create();
    EXPECT_EQ(deinits, std::vector<std::string>{"a"}) << "only initialised actors are deinitialised";
}

TEST_F(GameActors, LongNamesFromTheSceneAreQuotedCut)
{
    std::string huge(20000, 'n');
    add(huge.c_str(), "game_actor_name = \"a\"\r\n");
    EXPECT_FALSE(build());
    EXPECT_NE(log.find("(cut)"), std::string::npos);
    EXPECT_LT(log.size(), 2000u);
}

TEST_F(GameActors, ReadingAnUnsetFieldIsAFaultReport)
{
    game_actor ga = {};
    dlist_init(&ga.ois);
    EXPECT_EXIT(game_actor_get_scene(&ga), testing::ExitedWithCode(3), "ga->flags & GAME_ACTOR_SCENE");
    EXPECT_EXIT(game_actor_get_center(&ga), testing::ExitedWithCode(3), "line 781");
    int dummy;
    game_actor_insert_state_struct(&ga, &dummy);
    EXPECT_EXIT(game_actor_insert_state_struct(&ga, &dummy), testing::ExitedWithCode(3), "game_actor_has_state_struct");
}

} // namespace

namespace {

// The real fighter on a scene that lacks parts of it: the start stops with a
// report naming what is missing, never with a crash.
TEST(FighterActor, AMissingGunOrRigPartStopsTheStartNamingIt)
{
    struct {
        std::vector<const char *> parts; // actor instances besides "bolid"
        const char *missing;
    } cases[] = {
        {{}, "bolid_left_gun"},
        {{"bolid_left_gun", "bolid_right_gun", "bolid_torpedo_launcher", "dummy_jet"}, "bolid_rot"},
    };
    for (const auto &c : cases) {
        EXPECT_EXIT(
            {
                parser_init();
                scene *sc = scene_init();
                const char *props = "game_actor_type = \"fighter\"\r\ngame_actor_name = \"fighter\"\r\n";
                std::vector<const char *> names = c.parts;
                names.insert(names.begin(), "bolid");
                for (const char *name : names) {
                    object_instance *oi = OI_init();
                    OI_copy_name(oi, name);
                    OI_copy_user_defined_properties(oi, props);
                    scene_add_oi(sc, oi);
                }
                game_actor_system *gas = gas_create();
                gas_register_interface(gas, &ga_fighter_interface);
                gas_build_actors(gas, sc);
                exit(0);
            },
            testing::ExitedWithCode(3), c.missing);
    }
}

} // namespace
