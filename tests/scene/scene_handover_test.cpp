// The scene's side of the hand-over to the renderer, without a renderer: the
// progress callback of loading and preparation, instances a renderer does not
// take (not its own, or failed), and hook tables installed for one scope.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/object.h"
#include "scene/object_instance.h"
#include "scene/quox2_loader.h"
#include "scene/quox2_writer.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"
#include "scene_test_util.h"
#include "test_support.h"

namespace {

struct progress_log {
    std::vector<float> calls;
};

void record_progress(void *user, float done) { static_cast<progress_log *>(user)->calls.push_back(done); }

::testing::AssertionResult grows_to_one(const std::vector<float> &v)
{
    if (v.empty()) return ::testing::AssertionFailure() << "no progress reported";
    for (size_t i = 0; i < v.size(); i++) {
        if (v[i] < 0.0f || v[i] > 1.0f)
            return ::testing::AssertionFailure() << "call " << i << " out of 0..1: " << v[i];
        if (i && v[i] < v[i - 1])
            return ::testing::AssertionFailure() << "call " << i << " goes back: " << v[i - 1] << " then " << v[i];
    }
    if (v.back() != 1.0f) return ::testing::AssertionFailure() << "the last call is " << v.back() << ", not 1";
    return ::testing::AssertionSuccess();
}

class SceneProgress : public TempDirTest {
  protected:
    // A scene of `n` instances of one quad, saved and loaded again.
    std::string save_scene(int n)
    {
        scene *src = scene_init();
        scene_add_object(src, test_make_quad("quad"));
        for (int i = 0; i < n; i++) {
            std::string name = "oi" + std::to_string(i);
            scene_add_oi(src, test_make_oi(name.c_str(), "quad", {float(i), 0, 0}));
        }
        std::string file = path("progress.quox2");
        EXPECT_TRUE(quox2_save_scene(file.c_str(), src));
        scene_deinit(src);
        return file;
    }
};

TEST_F(SceneProgress, LoadingReportsChunkByChunkUpToOne)
{
    std::string file = save_scene(20);
    scene *sc = scene_init();
    progress_log log;
    scene_set_progress_callback(sc, record_progress, &log);
    ASSERT_TRUE(quox2_load_file(file.c_str(), sc));
    // One call before each of the 21 chunks and the closing one.
    EXPECT_GE(log.calls.size(), 22u);
    EXPECT_TRUE(grows_to_one(log.calls));
    EXPECT_LT(log.calls.front(), 0.05f); // the header only
    scene_deinit(sc);
}

TEST_F(SceneProgress, PreparingReportsStepByStepUpToOne)
{
    std::string file = save_scene(20);
    scene *sc = scene_init();
    ASSERT_TRUE(quox2_load_file(file.c_str(), sc));
    scene_copy_resources_folder_path(sc, (dir + "/").c_str());
    progress_log log;
    scene_set_progress_callback(sc, record_progress, &log);
    ASSERT_TRUE(scene_prepare(sc));
    // Every instance in each of the four passes that work on all of them,
    // not only once per pass.
    EXPECT_GE(log.calls.size(), 20u * 4);
    EXPECT_TRUE(grows_to_one(log.calls));
    EXPECT_LT(log.calls.front(), 0.2f);

    // Without a callback nobody is told.
    scene_set_progress_callback(sc, nullptr, &log);
    size_t before = log.calls.size();
    scene_report_progress(sc, 0.5f);
    EXPECT_EQ(log.calls.size(), before);
    scene_deinit(sc);
}

TEST_F(SceneProgress, AFailedPreparationNeverReportsOne)
{
    scene *sc = scene_init();
    scene_copy_resources_folder_path(sc, (dir + "/").c_str());
    scene_add_oi(sc, test_make_oi("lost", "no such object"));
    progress_log log;
    scene_set_progress_callback(sc, record_progress, &log);
    std::string err = test_capture_stderr([&] { EXPECT_FALSE(scene_prepare(sc)); });
    for (float f : log.calls) EXPECT_LT(f, 1.0f);
    scene_deinit(sc);
}

TEST(SceneProgressValues, AreClampedToZeroToOne)
{
    scene *sc = scene_init();
    progress_log log;
    scene_set_progress_callback(sc, record_progress, &log);
    scene_report_progress(sc, -2.0f);
    scene_report_progress(sc, 7.0f);
    scene_report_progress(sc, 0.0f / 0.0f);
    EXPECT_EQ(log.calls, (std::vector<float>{0.0f, 1.0f, 0.0f}));
    scene_deinit(sc);
}

// ---------------------------------------------------------------------------
// instances a renderer does not take

scene_renderer_result g_answer;
int g_inserts;

scene_renderer_hooks answering_hooks()
{
    scene_renderer_hooks hk{};
    hk.oi_insert = [](object_instance *) {
        g_inserts++;
        return g_answer;
    };
    return hk;
}

TEST(SceneHandover, NotMineIsToldApartFromAFailure)
{
    scene_renderer_hooks_scope installed(answering_hooks());
    object *quad = test_make_quad("quad");
    object_instance *oi = test_make_oi("oi", "quad");
    OI_set_object(oi, quad);
    g_inserts = 0;

    g_answer = SCENE_RENDERER_NOT_MINE;
    EXPECT_EQ(OI_insert_into_renderer(oi), SCENE_RENDERER_NOT_MINE);
    EXPECT_FALSE(oi->flags & OI_IN_RENDERER);
    g_answer = SCENE_RENDERER_FAILED;
    EXPECT_EQ(OI_insert_into_renderer(oi), SCENE_RENDERER_FAILED);
    EXPECT_FALSE(oi->flags & OI_IN_RENDERER);
    g_answer = SCENE_RENDERER_TAKEN;
    EXPECT_EQ(OI_insert_into_renderer(oi), SCENE_RENDERER_TAKEN);
    EXPECT_TRUE(oi->flags & OI_IN_RENDERER);
    EXPECT_EQ(g_inserts, 3);
    // Taken once: not asked again.
    EXPECT_EQ(OI_insert_into_renderer(oi), SCENE_RENDERER_TAKEN);
    EXPECT_EQ(g_inserts, 3);
    OI_remove_from_renderer(oi);

    // Nothing to draw is never a failure, and the renderer is not asked.
    EXPECT_TRUE(OI_set_desc(oi, "not_renderable", "true"));
    EXPECT_EQ(OI_insert_into_renderer(oi), SCENE_RENDERER_NOT_MINE);
    object_instance *empty = test_make_oi("empty");
    EXPECT_EQ(OI_insert_into_renderer(empty), SCENE_RENDERER_NOT_MINE);
    EXPECT_EQ(g_inserts, 3);
    OI_deinit(empty);
    OI_deinit(oi);
    object_deinit(quad);
}

// ---------------------------------------------------------------------------
// hook tables for one scope

void flush_nothing(object_instance *) {}
void update_nothing(object_instance *) {}

void leave_early_with_hooks_installed()
{
    scene_renderer_hooks hk{};
    hk.oi_flush = flush_nothing;
    scene_renderer_hooks_scope installed(hk);
    ASSERT_TRUE(false) << "leaving early";
}

TEST(SceneRendererHooksScope, AFailedAssertionLeavesNoHooksBehind)
{
    ASSERT_EQ(scene_renderer_get_hooks()->oi_flush, nullptr);
    EXPECT_FATAL_FAILURE(leave_early_with_hooks_installed(), "leaving early");
    EXPECT_EQ(scene_renderer_get_hooks()->oi_flush, nullptr);
}

TEST(SceneRendererHooksScope, NestedScopesRestoreInTurn)
{
    scene_renderer_hooks outer{};
    outer.oi_flush = flush_nothing;
    scene_renderer_hooks_scope a(outer);
    {
        scene_renderer_hooks inner{};
        inner.oi_update = update_nothing;
        scene_renderer_hooks_scope b(inner);
        EXPECT_EQ(scene_renderer_get_hooks()->oi_flush, nullptr);
        EXPECT_EQ(scene_renderer_get_hooks()->oi_update, update_nothing);
    }
    EXPECT_EQ(scene_renderer_get_hooks()->oi_flush, flush_nothing);
    EXPECT_EQ(scene_renderer_get_hooks()->oi_update, nullptr);
}

TEST(SceneRendererOptions, AreAskedAtEachUse)
{
    EXPECT_FALSE(scene_renderer_get_options().frustum_culling); // no renderer: defaults
    static bool culling;
    culling = false;
    scene_renderer_hooks hk{};
    hk.get_options = [](scene_render_options *o) { o->frustum_culling = culling; };
    scene_renderer_hooks_scope installed(hk);
    EXPECT_FALSE(scene_renderer_get_options().frustum_culling);
    culling = true;
    EXPECT_TRUE(scene_renderer_get_options().frustum_culling);
}

} // namespace
