// The station on a small scene made in memory: the power field's figures,
// damage with the score penalty and the HUD alert, reset, and the codes it
// must not receive.

#include <cmath>

#include "game_world_fixture.h"
#include "scene/object.h"

namespace {

int alerts;
void count_alert() { alerts++; }

const char *const PARTS[] = {"g_station",  "station_01", "station_02", "station_03", "station_04", "station_05",
                             "station_06", "station_07", "station_10", "station_11", "station"};

class Station : public GameWorld {
  protected:
    void SetUp() override
    {
        if (!start_services()) GTEST_SKIP() << "no default data: build the 'data' target first";
        alerts = 0;
        ga_station_set_alert_handler(count_alert);
    }
    void TearDown() override
    {
        ga_station_set_alert_handler(nullptr);
        GameWorld::TearDown();
    }
    // The station's parts (all but `missing`) around `centre`, and the fighter's hull.
    void build(tacka3 centre, const char *missing = nullptr)
    {
        sc = scene_init();
        ASSERT_TRUE(scene_copy_resources_folder_path(sc, folder.c_str()));
        const std::string station = "game_actor_type = \"station\"\r\ngame_actor_name = \"station\"\r\n";
        for (const char *name : PARTS) {
            if (missing && std::string(name) == missing) continue;
            bool actor = std::string(name) == "station" || std::string(name) == "g_station";
            add(name, centre, actor ? station.c_str() : nullptr);
        }
        add("bolid", {0, 0, 0}, "game_actor_type = \"fighter\"\r\ngame_actor_name = \"fighter\"\r\n");
    }
    void add(const char *name, tacka3 at, const char *props)
    {
        object_instance *oi = OI_init();
        OI_copy_name(oi, name);
        OI_set_initial_PRS_ws(oi, at, quaternion_identity(), {1, 1, 1});
        OI_set_position(oi, at);
        if (props) OI_copy_user_defined_properties(oi, props);
        scene_add_oi(sc, oi);
    }
    float ask(int32_t code, tacka3 at, float dt = 0.0f)
    {
        ga_station_power_query q{dt, -1.0f, at};
        EXPECT_TRUE(game_actor_query(station(), code, &q));
        return q.answer;
    }
    void hit(float amount)
    {
        ga_damage d{amount, 0, {0, 0, 0}};
        game_actor_event(station(), GA_EVENT_DAMAGE, &d);
    }
};

} // namespace

TEST_F(Station, ThePowerFieldFallsLinearlyInTheSquaredDistance)
{
    const tacka3 c{10, 20, 30};
    build(c);
    start_world(false);
    auto at = [&](float d) { return tacka3_add(c, tacka3_scale(tacka3_normalize({1, 2, 2}), d)); };
    EXPECT_FLOAT_EQ(ask(GA_STATION_Q_DISTANCE_MOD, at(100)), 1.0f);
    EXPECT_FLOAT_EQ(ask(GA_STATION_Q_DISTANCE_MOD, at(150)), 1.0f);
    EXPECT_NEAR(ask(GA_STATION_Q_DISTANCE_MOD, at(325)), 1.0f - 83125.0f / 227500.0f, 1e-4f);
    EXPECT_NEAR(ask(GA_STATION_Q_DISTANCE_MOD, at(500)), 0.0f, 1e-4f);
    EXPECT_FLOAT_EQ(ask(GA_STATION_Q_DISTANCE_MOD, at(800)), 0.0f);

    // Energy: 10 units per second within 150 at full life, nothing at 500.
    EXPECT_FLOAT_EQ(ask(GA_STATION_Q_ENERGY, at(100), 1.0f), 10.0f);
    EXPECT_FLOAT_EQ(ask(GA_STATION_Q_ENERGY, at(100), 0.04f), 0.4f);
    EXPECT_NEAR(ask(GA_STATION_Q_ENERGY, at(500), 1.0f), 0.0f, 1e-3f);
    EXPECT_NEAR(ask(GA_STATION_Q_ENERGY, at(325), 1.0f), 6.346154f, 1e-3f);

    float inner = 0, outer = 0, functionality = 0;
    EXPECT_TRUE(game_actor_query(station(), GA_STATION_Q_INNER_RADIUS, &inner));
    EXPECT_TRUE(game_actor_query(station(), GA_STATION_Q_OUTER_RADIUS, &outer));
    EXPECT_TRUE(game_actor_query(station(), GA_STATION_Q_FUNCTIONALITY_MOD, &functionality));
    EXPECT_FLOAT_EQ(inner, 150.0f);
    EXPECT_FLOAT_EQ(outer, 500.0f);
    EXPECT_FLOAT_EQ(functionality, 1.0f);
    tacka3 p{};
    EXPECT_TRUE(game_actor_query(station(), GA_QUERY_POSITION, &p));
    EXPECT_FLOAT_EQ(p.z, 30.0f);
}

TEST_F(Station, DamageWeakensTheFieldCostsThreeHundredPointsAndRaisesTheAlert)
{
    build({0, 0, 0});
    start_world(false);
    hit(10.0f);
    EXPECT_FLOAT_EQ(life_of(station()), 40.0f);
    EXPECT_EQ(fighter_state()->score, -300);
    EXPECT_EQ(alerts, 1);
    float functionality = 0;
    game_actor_query(station(), GA_STATION_Q_FUNCTIONALITY_MOD, &functionality);
    EXPECT_FLOAT_EQ(functionality, 0.8f);
    EXPECT_FLOAT_EQ(ask(GA_STATION_Q_ENERGY, {100, 0, 0}, 1.0f), 9.0f);

    // A destroyed station still gives half.
    hit(45.0f);
    EXPECT_FLOAT_EQ(life_of(station()), 0.0f) << "life does not fall below 0";
    EXPECT_FLOAT_EQ(ask(GA_STATION_Q_ENERGY, {100, 0, 0}, 1.0f), 5.0f);
    EXPECT_EQ(fighter_state()->score, -600);
    EXPECT_EQ(alerts, 2);
    EXPECT_TRUE(game_actor_is_alive(station()));

    game_actor_event(station(), GA_EVENT_START, nullptr);
    EXPECT_FLOAT_EQ(life_of(station()), 50.0f);
}

TEST_F(Station, OnlyTheShownBodyIsVisible)
{
    build({0, 0, 0});
    start_world(false);
    EXPECT_FALSE(OI_get_desc(scene_get_oi_by_name(sc, "g_station"))->invisible);
    EXPECT_TRUE(OI_get_desc(scene_get_oi_by_name(sc, "station"))->invisible);
    int32_t kind = -1, side = -1;
    EXPECT_TRUE(game_actor_query(station(), GA_QUERY_KIND, &kind));
    EXPECT_TRUE(game_actor_query(station(), GA_QUERY_SIDE, &side));
    EXPECT_EQ(kind, GA_KIND_STATION);
    EXPECT_EQ(side, GA_SIDE_DEFENDERS);
    EXPECT_FALSE(game_actor_query(station(), GA_QUERY_VELOCITY, &kind));
}

TEST_F(Station, CodesTheStationMustNotReceiveAreFaultReports)
{
    build({0, 0, 0});
    start_world(false);
    EXPECT_EXIT(game_actor_event(station(), GA_EVENT_DEACTIVATE, nullptr),
                testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS), "station_event");
    object_instance *oi = nullptr;
    EXPECT_EXIT(game_actor_query(station(), GA_QUERY_MAIN_OI, &oi), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS),
                "station_query");
}

TEST_F(Station, AMissingPartStopsTheStartNamingIt)
{
    build({0, 0, 0}, "station_07");
    vorn_particles_set_quantity(1.0f);
    ASSERT_TRUE(vorn_init_particles(sc, folder.c_str()));
    gas = gas_create();
    ASSERT_TRUE(gas_register_interface(gas, &ga_station_interface));
    ASSERT_TRUE(gas_register_interface(gas, &FAKE_FIGHTER));
    vorn_set_world(sc, gas);
    EXPECT_EXIT(gas_build_actors(gas, sc), testing::ExitedWithCode(LOG_FAULT_EXIT_STATUS), "station_07");
}
