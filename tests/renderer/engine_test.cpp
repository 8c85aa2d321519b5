// Engine start-up and shut-down: parts come up once, in order, and the
// shut-down leaves nothing installed.
#include "gl_test_context.h"
#include "particles/sps_render.h"
#include "renderer/OGL_main.h"
#include "renderer/engine.h"
#include "scene/scene_renderer.h"

// Run in a child of its own: no renderer may be up.
TEST(EngineChild, DISABLED_PartsNeedWhatTheyStandOn)
{
    ASSERT_FALSE(OGL_is_initialised());
    EXPECT_FALSE(engine_startup(ENGINE_HANDOVER, nullptr));
    EXPECT_EQ(engine_parts_up(), 0u);
    EXPECT_EQ(scene_renderer_get_hooks()->oi_insert, nullptr);
    EXPECT_FALSE(engine_startup(ENGINE_RENDERER, nullptr));
    EXPECT_FALSE(OGL_is_initialised());
    EXPECT_EQ(engine_parts_up(), 0u);
    // A failed part leaves the parts before it up, for the shut-down.
    EXPECT_FALSE(engine_startup(ENGINE_FOUNDATION | ENGINE_HANDOVER, nullptr));
    EXPECT_EQ(engine_parts_up(), ENGINE_FOUNDATION);
    engine_shutdown();
    EXPECT_EQ(engine_parts_up(), 0u);
    // Everything again, in one call.
    const engine_window window = {"engine test", 320, 240, false};
    ASSERT_TRUE(engine_startup(ENGINE_ALL, &window));
    EXPECT_TRUE(OGL_is_initialised());
    EXPECT_NE(scene_renderer_get_hooks()->oi_insert, nullptr);
    engine_shutdown();
    EXPECT_FALSE(OGL_is_initialised());
    EXPECT_EQ(scene_renderer_get_hooks()->oi_insert, nullptr);
}

TEST(Engine, PartsNeedWhatTheyStandOn)
{
    EXPECT_TRUE(gltest_child_passed(gltest_run_child("EngineChild.DISABLED_PartsNeedWhatTheyStandOn", {})));
}

// Run in a child of its own too: the shut-down stops the window library,
// which unloads the GL driver before the process's leak check.
TEST(EngineChild, DISABLED_HandoverComesAndGoesWithTheEngine)
{
    ASSERT_TRUE(gltest_open()) << "no GL context (run under xvfb-run)";
    ASSERT_EQ(scene_renderer_get_hooks()->oi_insert, nullptr) << "a test left the scene hooks installed";
    ASSERT_TRUE(engine_startup(ENGINE_HANDOVER, nullptr));
    EXPECT_EQ(engine_parts_up(), ENGINE_RENDERER | ENGINE_HANDOVER);
    EXPECT_NE(scene_renderer_get_hooks()->oi_insert, nullptr);
    EXPECT_NE(sps_render_get_hooks()->create, nullptr);
    // Asking again for parts that are up changes nothing.
    EXPECT_TRUE(engine_startup(ENGINE_RENDERER | ENGINE_HANDOVER, nullptr));

    engine_shutdown();
    EXPECT_EQ(engine_parts_up(), 0u);
    EXPECT_FALSE(OGL_is_initialised());
    EXPECT_EQ(scene_renderer_get_hooks()->oi_insert, nullptr);
    EXPECT_EQ(sps_render_get_hooks()->create, nullptr);
    // The harness can bring the renderer back.
    EXPECT_TRUE(gltest_open());
}

TEST(Engine, HandoverComesAndGoesWithTheEngine)
{
    EXPECT_TRUE(gltest_child_passed(gltest_run_child("EngineChild.DISABLED_HandoverComesAndGoesWithTheEngine", {})));
}
