#include <gtest/gtest.h>

#include <cstdint>

#include "corelib/array.h"
#include "corelib/tacka.h"

using ::testing::ExitedWithCode;

TEST(Array, GrowsLinearlyByGrowElementsAndKeepsContents)
{
    array<int> *a = array_new<int>();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->grow_elements, 100u);
    EXPECT_EQ(a->max_elements, 0u);
    for (int i = 0; i < 100; i++) ASSERT_TRUE(a->add(&i));
    EXPECT_EQ(a->max_elements, 100u);
    int v = 100;
    ASSERT_TRUE(a->add(&v));
    EXPECT_EQ(a->max_elements, 200u);
    EXPECT_EQ(a->get_size(), 101u);
    for (int i = 0; i <= 100; i++) EXPECT_EQ(*a->get_element(uint32_t(i)), i);
    EXPECT_EQ(a->get_element(101), nullptr);
    array_free(a);
}

TEST(Array, NullElementAppendsAnUnwrittenSlot)
{
    array<tacka3> *a = array_new<tacka3>(4);
    ASSERT_TRUE(a->add(nullptr));
    EXPECT_EQ(a->get_size(), 1u);
    a->get_element(0)->x = 7;
    EXPECT_EQ(a->data[0].x, 7);
    array_free(a);
}

TEST(Array, ResizeToZeroFreesAndShrinkingTruncates)
{
    array<int> *a = array_new<int>();
    for (int i = 0; i < 10; i++) a->add(&i);
    ASSERT_TRUE(a->resize(4));
    EXPECT_EQ(a->get_size(), 4u);
    EXPECT_EQ(*a->get_element(3), 3);
    ASSERT_TRUE(a->resize(0));
    EXPECT_EQ(a->raw_data, nullptr);
    EXPECT_EQ(a->get_element(0), nullptr);
    int v = 9;
    ASSERT_TRUE(a->add(&v));
    EXPECT_EQ(*a->get_element(0), 9);
    EXPECT_EQ(a->max_elements, 100u);
    array_free(a);
}

TEST(Array, ZeroFillClearsOnlyTheAddedSlots)
{
    array<uint32_t> *a = array_new<uint32_t>();
    a->flags |= ARRAY_ZERO_FILL;
    ASSERT_TRUE(a->set_size(3));
    for (uint32_t i = 0; i < 3; i++) a->data[i] = 0xdeadbeef;
    ASSERT_TRUE(a->set_size(10));
    for (uint32_t i = 0; i < 3; i++) EXPECT_EQ(a->data[i], 0xdeadbeefu);
    for (uint32_t i = 3; i < 10; i++) EXPECT_EQ(a->data[i], 0u);
    array_free(a);
}

TEST(Array, AlignedStorageStartsOnTheBoundaryAndIsSizedOnce)
{
    array<tacka4> *a = array_new<tacka4>();
    a->set_align_bytes(16);
    ASSERT_TRUE(a->set_size(37));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a->data) % 16, 0u);
    EXPECT_EXIT(a->resize(80), ExitedWithCode(3),
                "array<struct tacka4>::resize\\(\\) BUG at file \"corelib/array.h\", line [0-9]+: assertion "
                "cur_elements == 0 && max_elements == 0 failed!");
    array_free(a);
}

TEST(Array, MisuseIsReportedWithTheInstanceName)
{
    array<char> *c = array_new<char>();
    c->set_size(5);
    EXPECT_EXIT(c->set_size(5), ExitedWithCode(3),
                "array<char>::set_size\\(\\) BUG.*assertion elements != cur_elements");
    EXPECT_EXIT(c->prealloc(5), ExitedWithCode(3),
                "array<char>::prealloc\\(\\) BUG.*assertion elements > cur_elements");
    EXPECT_EXIT(c->set_align_bytes(16), ExitedWithCode(3),
                "array<char>::set_align_bytes.*max_elements == 0 && cur_elements == 0");
    array_free(c);

    array<float> *f = array_new<float>();
    EXPECT_EXIT(f->set_align_bytes(12), ExitedWithCode(3), "array<float>::set_align_bytes.*is_power_of_2\\(bytes\\)");
    f->set_size(2);
    f->flags |= ARRAY_CONSTANT_SIZE;
    EXPECT_TRUE(f->is_constant_size());
    float x = 1;
    EXPECT_EXIT(f->add(&x), ExitedWithCode(3),
                "array<float>::resize\\(\\) BUG.*assertion !is_constant_size\\(\\) failed!");
    array_free(f);
}

TEST(Array, CapacityGivenAtConstructionIsFilledWithoutMoving)
{
    array<double> *a = array_new<double>(250);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->get_size(), 0u);
    ASSERT_TRUE(a->add(0.0));
    const double *first = a->get_element(0);
    // Elements kept by address stay valid while the given capacity lasts.
    for (int i = 1; i < 250; i++) ASSERT_TRUE(a->add(double(i)));
    EXPECT_EQ(a->get_element(0), first);
    EXPECT_EQ(a->get_size(), 250u);
    ASSERT_TRUE(a->add(250.0));
    EXPECT_EQ(*a->get_element(250), 250.0);
    EXPECT_EQ(*a->get_element(249), 249.0);
    array_free(a);
}
