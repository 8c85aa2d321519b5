#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "corelib/parser.h"

class ParserTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(parser_init());
        record = parser_line_new();
    }
    void TearDown() override
    {
        parser_line_free(record);
        parser_deinit();
    }
    int parse(const char *line) { return parser_process_line(record, KEYS, sizeof(KEYS) / sizeof(KEYS[0]), line); }

    static constexpr parser_key KEYS[] = {
        {"game_actor_type", 1, PARSER_VALUE_STRING, 0},
        {"life", 1, PARSER_VALUE_FLOAT, 0},
        {"count", 1, PARSER_VALUE_INTEGER, 0},
        {"solid", 1, PARSER_VALUE_BOOLEAN, 0},
        {"range", 2, PARSER_VALUE_FLOAT, PARSER_VALUE_INTEGER},
        {"invisible", 0, 0, 0},
    };
    parser_line *record = nullptr;
};

TEST_F(ParserTest, QuotedStringValueLosesItsQuotes)
{
    EXPECT_EQ(parse("game_actor_type = \"station\"\r\n"), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->key, "game_actor_type");
    EXPECT_STREQ(record->value1, "station");
    EXPECT_EQ(record->value2, nullptr);
    EXPECT_EQ(parse("game_actor_type = station\r\n"), PARSER_LINE_ERROR);
}

TEST_F(ParserTest, ValuesAreCheckedAgainstTheirTypes)
{
    EXPECT_EQ(parse("life = 5\r\n"), PARSER_LINE_ERROR);
    EXPECT_EQ(parse("life = 5.0\r\n"), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->value1, "5.0");
    EXPECT_EQ(parse("life\t-3.25"), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->value1, "-3.25");
    EXPECT_EQ(parse("count=+12"), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->value1, "+12");
    EXPECT_EQ(parse("solid = TRUE\r\n"), PARSER_LINE_ERROR);
    EXPECT_EQ(parse("solid = false\r\n"), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->value1, "false");
    EXPECT_EQ(parse("solid"), PARSER_LINE_ERROR);
}

TEST_F(ParserTest, TwoValuesAndKeysAlone)
{
    EXPECT_EQ(parse("range = 1.5 40\r\n"), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->value1, "1.5");
    EXPECT_STREQ(record->value2, "40");
    EXPECT_EQ(parse("range = 1.5\r\n"), PARSER_LINE_ERROR);
    EXPECT_EQ(parse("invisible\r\n"), PARSER_LINE_PARSED);
    EXPECT_EQ(record->value1, nullptr);
}

TEST_F(ParserTest, KeysAreCaseInsensitiveButMustStartTheLine)
{
    EXPECT_EQ(parse("GAME_ACTOR_TYPE = \"fighter\""), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->value1, "fighter");
    EXPECT_EQ(parse(" game_actor_type = \"fighter\""), PARSER_LINE_UNKNOWN);
    EXPECT_EQ(parse("#game_actor_type = \"fighter\""), PARSER_LINE_UNKNOWN);
    EXPECT_EQ(parse("colour = \"red\""), PARSER_LINE_UNKNOWN);
    EXPECT_STREQ(record->key, "colour");
    EXPECT_EQ(parse(""), PARSER_LINE_UNKNOWN);
}

TEST_F(ParserTest, LinesEndOnlyAtCarriageReturnLineFeed)
{
    const char *text = "a = 1\r\nb = 2\r\nc";
    std::vector<std::string> lines;
    uint32_t start, end, position = 0;
    while (parser_next_line(text, position, &start, &end)) {
        lines.emplace_back(text + start, end - start);
        position = end;
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"a = 1\r\n", "b = 2\r\n", "c"}));

    const char *unix_text = "count = 1\ncount = 2\n";
    ASSERT_TRUE(parser_next_line(unix_text, 0, &start, &end));
    EXPECT_EQ(end, strlen(unix_text));
    EXPECT_EQ(parse(unix_text), PARSER_LINE_PARSED);
    EXPECT_STREQ(record->value1, "1");

    EXPECT_FALSE(parser_next_line("", 0, &start, &end));
}

TEST_F(ParserTest, ParsedLinesFormAList)
{
    dlist lines;
    dlist_init(&lines);
    const char *text[] = {"count = 1", "life = 2.5", "count = 3"};
    for (const char *t : text) {
        parser_line *r = parser_line_new();
        ASSERT_EQ(parser_process_line(r, KEYS, 6, t), PARSER_LINE_PARSED);
        dlist_insert_back(&r->link, &lines);
    }
    parser_line *first = parser_line_find(&lines, "count", nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->value1, "1");
    parser_line *second = parser_line_find(&lines, "count", first);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second->value1, "3");
    EXPECT_EQ(parser_line_find(&lines, "count", second), nullptr);
    EXPECT_EQ(parser_line_find(&lines, "solid", nullptr), nullptr);
    parser_line_list_free(&lines);
    EXPECT_TRUE(dlist_is_empty(&lines));
}

TEST(Parser, InitTwiceAndUnknownValueTypeAreFaults)
{
    ASSERT_TRUE(parser_init());
    EXPECT_EXIT(parser_init(), ::testing::ExitedWithCode(3), "assertion !parser_inited failed");
    parser_key bad[] = {{"x", 1, 9, 0}};
    parser_line *r = parser_line_new();
    EXPECT_EXIT(parser_process_line(r, bad, 1, "x = 1"), ::testing::ExitedWithCode(3), "BUG at file");
    parser_line_free(r);
    parser_deinit();
}
