// The hi-score screen driven by scripted input through the input layer:
// fades, name entry, storing, leaving, hotspots.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <string>
#include <vector>

#include "corelib/log.h"
#include "frontend/desktop_open.h"
#include "game/the_vorn_game.h"
#include "game/the_vorn_hi_score.h"
#include "renderer/OGL_input.h"
#include "test_support.h"

namespace {

int32_t player_score;
int new_games;
std::vector<std::string> texts;

int32_t get_score() { return player_score; }
void start_new_game() { new_games++; }
void record_text(float x, float y, const char *text)
{
    texts.push_back(std::to_string(int(x)) + "," + std::to_string(int(y)) + ":" + text);
}

std::string record(const std::u16string &name, int32_t score)
{
    std::string r(HS_RECORD_SIZE, '\0');
    for (size_t i = 0; i < name.size(); i++) {
        r[2 * i] = char(name[i] & 0xff);
        r[2 * i + 1] = char(name[i] >> 8);
    }
    for (int b = 0; b < 4; b++) r[32 + b] = char((uint32_t(score) >> (8 * b)) & 0xff);
    return r;
}

class HiScoreScreenTest : public TempDirTest {
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        log_file_set(path("log.txt").c_str());
        log_file_truncate();
        OGL_input_reset();
        vorn_hi_score_set_file(path("vorn.hs").c_str());
        static const vorn_hi_score_hooks hooks = {get_score, start_new_game};
        vorn_hi_score_set_hooks(&hooks);
        vorn_hi_score_set_text_writer(record_text);
        player_score = 0;
        new_games = 0;
        texts.clear();
        *vorn_get_passes() = vorn_passes{1, 1, 1};
    }
    void TearDown() override
    {
        vorn_hi_score_deinit();
        vorn_hi_score_set_file(nullptr);
        vorn_hi_score_set_hooks(nullptr);
        vorn_hi_score_set_text_writer(nullptr);
        desktop_set_opener(nullptr);
        TempDirTest::TearDown();
    }
    const vorn_hi_score_screen *screen() const { return vorn_hi_score_get_screen(); }
    // Frames of 1/8 s; the last frame's result.
    int32_t frames(int n)
    {
        int32_t r = HS_LOOP_CONTINUE;
        for (int i = 0; i < n && r == HS_LOOP_CONTINUE; i++) r = vorn_hi_score_step(0.125f);
        return r;
    }
    static void type(const std::u32string &chars)
    {
        for (char32_t c : chars) OGL_input_char_event(int(c));
    }
    std::u16string entry_name() const
    {
        const hs_entry *e = screen()->table->get_element(uint32_t(screen()->entry_index));
        return e ? std::u16string(reinterpret_cast<const char16_t *>(e->name)) : u"";
    }
    void write_table(int entries, int32_t top)
    {
        std::string bytes;
        for (int i = 0; i < entries; i++)
            bytes += record(u"PILOT" + std::u16string(1, char16_t(u'A' + i)), top - 100 * i);
        test_write_file(path("vorn.hs"), bytes);
    }
    // Fade-in: four frames of 1/8 s.
    void fade_in()
    {
        EXPECT_EQ(frames(3), HS_LOOP_CONTINUE);
        EXPECT_EQ(screen()->sub_state, HS_SUB_FADE_IN);
        EXPECT_EQ(frames(1), HS_LOOP_CONTINUE);
        EXPECT_FLOAT_EQ(screen()->fade, HS_FADE_TIME);
    }
};

TEST_F(HiScoreScreenTest, QualifyingScoreIsTypedAndStored)
{
    write_table(3, 3000); // 3000, 2900, 2800
    player_score = 2500;
    fade_in();
    ASSERT_EQ(screen()->sub_state, HS_SUB_NAME_ENTRY);
    EXPECT_EQ(vorn_get_passes()->hud, 0);
    EXPECT_EQ(vorn_get_passes()->sky, 0);
    EXPECT_EQ(screen()->entry_index, 3);
    EXPECT_EQ(entry_name(), u"_");

    type(U" J\u00f6rg-x"); // a leading space and "-" are not taken
    EXPECT_EQ(entry_name(), u"J\u00f6rgx_");
    OGL_input_tap_key(OGL_KEY_BACKSPACE);
    EXPECT_EQ(entry_name(), u"J\u00f6rg_");
    type(U" \u96f7\U0001F600\u0007"); // no characters outside one UTF-16 unit, no controls
    EXPECT_EQ(frames(1), HS_LOOP_CONTINUE);
    EXPECT_EQ(screen()->sub_state, HS_SUB_NAME_ENTRY);
    EXPECT_FALSE(test_file_exists(path("vorn.hs.damaged")));
    OGL_input_tap_key(OGL_KEY_ENTER);
    EXPECT_EQ(frames(1), HS_LOOP_CONTINUE);
    EXPECT_EQ(screen()->sub_state, HS_SUB_TABLE);
    EXPECT_FALSE(screen()->text_entry);
    // Typing now changes nothing.
    type(U"zz");
    OGL_input_tap_key(OGL_KEY_BACKSPACE);
    EXPECT_EQ(entry_name(), u"J\u00f6rg \u96f7");
    EXPECT_EQ(test_read_file(path("vorn.hs")), record(u"PILOTA", 3000) + record(u"PILOTB", 2900) +
                                                   record(u"PILOTC", 2800) + record(u"J\u00f6rg \u96f7", 2500));
}

TEST_F(HiScoreScreenTest, EntryGoesAboveLowerAndEqualScores)
{
    write_table(3, 3000); // 3000, 2900, 2800
    player_score = 2900;
    fade_in();
    ASSERT_EQ(screen()->sub_state, HS_SUB_NAME_ENTRY);
    EXPECT_EQ(screen()->entry_index, 1);
    type(U"NEW");
    OGL_input_tap_key(OGL_KEY_KP_ENTER);
    frames(1);
    EXPECT_EQ(test_read_file(path("vorn.hs")),
              record(u"PILOTA", 3000) + record(u"NEW", 2900) + record(u"PILOTB", 2900) + record(u"PILOTC", 2800));
    // Space: a new game, after the fade-out.
    OGL_input_tap_key(OGL_KEY_SPACE);
    EXPECT_EQ(frames(1), HS_LOOP_CONTINUE);
    EXPECT_EQ(new_games, 1);
    EXPECT_EQ(vorn_get_passes()->scene, 1);
    EXPECT_EQ(vorn_get_passes()->hud, 1);
    EXPECT_EQ(frames(3), HS_LOOP_CONTINUE);
    EXPECT_EQ(screen()->sub_state, HS_SUB_FADE_OUT_NEW_GAME);
    EXPECT_FLOAT_EQ(screen()->fade, 0.125f);
    EXPECT_EQ(frames(1), HS_LOOP_NEW_GAME);
    EXPECT_FALSE(screen()->started);

    // The next screen reads the table afresh.
    test_write_file(path("vorn.hs"), record(u"OTHER", 10));
    player_score = 0;
    fade_in();
    EXPECT_EQ(screen()->sub_state, HS_SUB_TABLE);
    ASSERT_EQ(screen()->table->get_size(), 1u);
    EXPECT_EQ(screen()->table->get_element(0)->score, 10);
}

TEST_F(HiScoreScreenTest, FourteenCharactersFillThirtyBytes)
{
    player_score = 100;
    fade_in();
    type(U"\u00c4BCDEFGHIJKLMNOPQ"); // 17 typed, 14 kept
    EXPECT_EQ(entry_name(), u"\u00c4BCDEFGHIJKLMN_");
    OGL_input_tap_key(OGL_KEY_ENTER);
    frames(1);
    std::string stored = test_read_file(path("vorn.hs"));
    ASSERT_EQ(stored, record(u"\u00c4BCDEFGHIJKLMN", 100));
    EXPECT_EQ(uint8_t(stored[0]), 0xc4);
    EXPECT_EQ(stored[26], 'N');
    EXPECT_EQ(stored.substr(28, 4), std::string(4, '\0'));
}

TEST_F(HiScoreScreenTest, EnterWithoutANameKeepsTyping)
{
    player_score = 100;
    fade_in();
    OGL_input_tap_key(OGL_KEY_ENTER);
    frames(1);
    EXPECT_EQ(screen()->sub_state, HS_SUB_NAME_ENTRY);
    type(U"A");
    OGL_input_tap_key(OGL_KEY_BACKSPACE);
    OGL_input_tap_key(OGL_KEY_BACKSPACE); // nothing left to remove
    EXPECT_EQ(entry_name(), u"_");
    OGL_input_tap_key(OGL_KEY_ENTER);
    frames(1);
    EXPECT_EQ(screen()->sub_state, HS_SUB_NAME_ENTRY);
    EXPECT_FALSE(test_file_exists(path("vorn.hs")));
}

TEST_F(HiScoreScreenTest, EscapeDuringEntryLeavesTheFileUnchanged)
{
    write_table(10, 5000);
    std::string before = test_read_file(path("vorn.hs"));
    player_score = 4950;
    fade_in();
    ASSERT_EQ(screen()->sub_state, HS_SUB_NAME_ENTRY);
    type(U"QUITTER");
    OGL_input_tap_key(OGL_KEY_ESC);
    EXPECT_EQ(frames(1), HS_LOOP_CONTINUE);
    EXPECT_EQ(screen()->sub_state, HS_SUB_FADE_OUT_QUIT);
    // The table shown while fading out is the stored one.
    ASSERT_EQ(screen()->table->get_size(), 10u);
    EXPECT_EQ(screen()->table->get_element(9)->score, 4100);
    EXPECT_EQ(frames(10), HS_LOOP_QUIT);
    EXPECT_EQ(test_read_file(path("vorn.hs")), before);
    EXPECT_EQ(new_games, 0);
}

TEST_F(HiScoreScreenTest, ScoreThatDoesNotQualifyNeverChangesAValidFile)
{
    write_table(10, 5000); // lowest 4100
    std::string before = test_read_file(path("vorn.hs"));
    struct stat st_before;
    ASSERT_EQ(stat(path("vorn.hs").c_str(), &st_before), 0);
    player_score = 4100; // a tie with the lowest
    fade_in();
    EXPECT_EQ(screen()->sub_state, HS_SUB_TABLE);
    EXPECT_EQ(screen()->entry_index, -1);
    type(U"X");
    OGL_input_tap_key(OGL_KEY_ESC);
    EXPECT_EQ(frames(10), HS_LOOP_QUIT);
    struct stat st_after;
    ASSERT_EQ(stat(path("vorn.hs").c_str(), &st_after), 0);
    EXPECT_EQ(st_after.st_ino, st_before.st_ino);
    EXPECT_EQ(test_read_file(path("vorn.hs")), before);
}

TEST_F(HiScoreScreenTest, DamagedFileKeepsItsEntriesWhenTheScoreDoesNotQualify)
{
    std::string good = record(u"ACE", 900) + record(u"TWO", 800);
    test_write_file(path("vorn.hs"), good + "\x01\x02\x03");
    player_score = 0;
    fade_in();
    EXPECT_EQ(screen()->sub_state, HS_SUB_TABLE);
    EXPECT_EQ(test_read_file(path("vorn.hs")), good);
    EXPECT_EQ(test_read_file(path("vorn.hs.damaged")), good + "\x01\x02\x03");
}

TEST_F(HiScoreScreenTest, HotspotsAndCursor)
{
    player_score = 0;
    fade_in();
    ASSERT_EQ(screen()->sub_state, HS_SUB_TABLE);
    EXPECT_EQ(screen()->cursor_mode, HS_CURSOR_NONE);
    OGL_input_mouse_move_event(10, 300);
    frames(1);
    EXPECT_EQ(screen()->cursor_mode, HS_CURSOR_NORMAL);
    // Edges belong to the hotspot.
    OGL_input_mouse_move_event(342, 467);
    frames(1);
    EXPECT_EQ(screen()->cursor_mode, HS_CURSOR_HIGHLIGHTED);
    EXPECT_TRUE(screen()->hover[HS_HOTSPOT_NEW_GAME]);
    OGL_input_mouse_move_event(459, 467);
    frames(1);
    EXPECT_FALSE(screen()->hover[HS_HOTSPOT_NEW_GAME]);
    // The quit box at the top right.
    OGL_input_mouse_move_event(786, 12);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_PRESS);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_RELEASE);
    frames(1);
    EXPECT_EQ(screen()->sub_state, HS_SUB_FADE_OUT_QUIT);
    EXPECT_EQ(frames(10), HS_LOOP_QUIT);
}

TEST_F(HiScoreScreenTest, NewGameHotspot)
{
    fade_in();
    OGL_input_mouse_move_event(400, 480);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_PRESS);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_RELEASE);
    frames(1);
    EXPECT_EQ(new_games, 1);
    EXPECT_EQ(frames(10), HS_LOOP_NEW_GAME);
}

TEST_F(HiScoreScreenTest, LinksOpenTheDocumentationWithoutLeavingTheScreen)
{
    std::string out = path("opened.txt");
    std::string opener = path("opener.sh");
    test_write_file(opener, "#!/bin/sh\necho \"$1\" >> '" + out + "'\n");
    chmod(opener.c_str(), 0755);
    desktop_set_opener(opener.c_str());
    fade_in();
    const int points[3][2] = {{400, 440}, {100, 540}, {680, 560}};
    for (const auto &p : points) {
        OGL_input_mouse_move_event(p[0], p[1]);
        OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_PRESS);
        OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_RELEASE);
        EXPECT_EQ(frames(1), HS_LOOP_CONTINUE);
        EXPECT_EQ(screen()->sub_state, HS_SUB_TABLE);
    }
    const char *doc = vorn_hi_score_documentation();
    ASSERT_STRNE(doc, "");
    EXPECT_EQ(std::string(doc).rfind("file:///", 0), 0u);
    EXPECT_NE(std::string(doc).find("README.md"), std::string::npos);
    // The opener runs in the background; wait for its three lines.
    std::string lines;
    for (int i = 0; i < 500 && lines.size() < 3 * (strlen(doc) + 1); i++) {
        usleep(10000);
        lines = test_read_file(out);
    }
    EXPECT_EQ(lines, std::string(doc) + "\n" + doc + "\n" + doc + "\n");
}

TEST_F(HiScoreScreenTest, MissingOpenerIsALoggedLine)
{
    desktop_set_opener("vorn-no-such-opener");
    fade_in();
    OGL_input_mouse_move_event(680, 560);
    OGL_input_mouse_button_event(OGL_MOUSE_BUTTON_LEFT, OGL_PRESS);
    EXPECT_EQ(frames(1), HS_LOOP_CONTINUE);
    EXPECT_EQ(screen()->sub_state, HS_SUB_TABLE);
    EXPECT_NE(test_read_file(path("log.txt")).find("desktop: no \"vorn-no-such-opener\""), std::string::npos);
}

TEST_F(HiScoreScreenTest, TableTextThroughTheWriter)
{
    test_write_file(path("vorn.hs"), record(u"\u00c5SA", 1234));
    fade_in();
    vorn_hi_score_draw_text();
    ASSERT_EQ(texts.size(), 20u);
    EXPECT_EQ(texts[0], "350,77:\xc3\x85SA");
    EXPECT_EQ(texts[1], "480,77:1234");
    EXPECT_EQ(texts[2], "350,112:EMPTY");
    EXPECT_EQ(texts[19], "480,392:0");
}

TEST_F(HiScoreScreenTest, FailedSaveIsLoggedAndTheScreenGoesOn)
{
    vorn_hi_score_set_file("/proc/vorn.hs");
    player_score = 50;
    fade_in();
    type(U"A");
    OGL_input_tap_key(OGL_KEY_ENTER);
    frames(1);
    EXPECT_EQ(screen()->sub_state, HS_SUB_TABLE);
    EXPECT_NE(test_read_file(path("log.txt")).find("could not be saved"), std::string::npos);
}

} // namespace
