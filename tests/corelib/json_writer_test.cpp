// The JSON writer: documents that any JSON reader takes, whatever bytes the
// names from data files hold.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iconv.h>
#include <random>

#include "corelib/json_writer.h"

namespace {

std::string quoted(const char *text)
{
    std::string s;
    json_append_quoted(&s, text);
    return s;
}

// True when the bytes are well-formed UTF-8, as the C library's converter sees it.
bool is_utf8(const std::string &s)
{
    iconv_t cd = iconv_open("UTF-8", "UTF-8");
    if (cd == iconv_t(-1)) return false;
    std::string copy = s, out(s.size() * 4 + 4, '\0');
    char *in = copy.data(), *o = out.data();
    size_t in_left = copy.size(), out_left = out.size();
    size_t r = iconv(cd, &in, &in_left, &o, &out_left);
    iconv_close(cd);
    return r != size_t(-1) && in_left == 0;
}

// Reads one JSON string literal as the JSON grammar allows it; false on
// anything a JSON reader refuses. *bytes gets the raw characters as they stand
// and each \u escape below 256 as that one byte (the Latin-1 reading).
bool read_json_string(const std::string &s, std::string *bytes)
{
    if (s.size() < 2 || s.front() != '"' || s.back() != '"' || !is_utf8(s)) return false;
    for (size_t i = 1; i + 1 < s.size(); i++) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == '"') return false;
        if (c != '\\') {
            *bytes += char(c);
            continue;
        }
        if (i + 2 >= s.size()) return false;
        char e = s[++i];
        if (e == 'u') {
            if (i + 5 >= s.size()) return false;
            unsigned long cp = std::stoul(s.substr(i + 1, 4), nullptr, 16);
            if (cp > 0xFF) return false;
            *bytes += char(cp);
            i += 4;
        } else if (std::string("\"\\/bfnrt").find(e) != std::string::npos) {
            *bytes += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(JsonWriter, WellFormedUtf8PassesAndStrayBytesReadAsLatin1)
{
    // "é" in UTF-8, a euro sign and an emoji stay as they are.
    EXPECT_EQ(quoted("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\x80"), "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\x80\"");
    // An 8-bit name ("é" as one Latin-1 byte) is not UTF-8: escaped as that character.
    EXPECT_EQ(quoted("caf\xE9"), "\"caf\\u00e9\"");
    // A sequence cut short, an overlong slash, a surrogate and a byte above U+10FFFF.
    EXPECT_EQ(quoted("\xE2\x82"), "\"\\u00e2\\u0082\"");
    EXPECT_EQ(quoted("\xC0\xAF"), "\"\\u00c0\\u00af\"");
    EXPECT_EQ(quoted("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");
    EXPECT_EQ(quoted("\xF5\x80\x80\x80"), "\"\\u00f5\\u0080\\u0080\\u0080\"");
    // Quotes, backslashes (the data files' paths) and control characters.
    EXPECT_EQ(quoted("say \"hi\"\tsplash\\a.tga\n\x01\x7F"), "\"say \\\"hi\\\"\\tsplash\\\\a.tga\\n\\u0001\\u007f\"");
}

TEST(JsonWriter, AnyBytesGiveAStringAJsonReaderTakes)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 5000; round++) {
        std::string bytes;
        int n = int(rng() % 12);
        for (int i = 0; i < n; i++) {
            // Mostly high bytes and lead bytes, where the encoding goes wrong.
            unsigned v = rng() % 4 ? 0x80 + rng() % 0x80 : 1 + rng() % 0x7F;
            bytes += char(v);
        }
        std::string q = quoted(bytes.c_str());
        std::string back;
        ASSERT_TRUE(read_json_string(q, &back)) << q;
        // Nothing is lost: the string reads back to the very bytes.
        EXPECT_EQ(back, bytes) << q;
    }
}

TEST(JsonWriter, SeparatorsNullsAndNumbers)
{
    json_writer j;
    json_begin_object(&j);
    json_key(&j, "name");
    json_string(&j, nullptr);
    json_key(&j, "values");
    float v[3] = {1.5f, NAN, 0.1f};
    json_numbers(&j, v, 3);
    json_key(&j, "empty");
    json_begin_array(&j);
    json_end_array(&j);
    json_key(&j, "ok");
    json_bool(&j, true);
    json_key(&j, "count");
    json_integer(&j, -3);
    json_end_object(&j);
    // A non-finite number is null; a float keeps enough digits to come back exact.
    EXPECT_EQ(j.out, "{\"name\":null,\"values\":[1.5,null,0.100000001],\"empty\":[],\"ok\":true,\"count\":-3}");
    EXPECT_EQ(std::strtof("0.100000001", nullptr), 0.1f);
}
