#include "json_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

// The length of the well-formed UTF-8 sequence at p (1 to 4), or 0 when the
// byte at p does not start one: no overlong forms, no surrogates, nothing
// above U+10FFFF.
static int __utf8_sequence(const unsigned char *p)
{
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    auto cont = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) return cont(p[1]) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        unsigned char lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return p[1] >= lo && p[1] <= hi && cont(p[2]) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        unsigned char lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return p[1] >= lo && p[1] <= hi && cont(p[2]) && cont(p[3]) ? 4 : 0;
    }
    return 0;
}

void json_append_quoted(std::string *out, const char *text)
{
    *out += '"';
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text ? text : "");
    while (*p) {
        // A zero byte ends the text, so the continuation checks never read past it.
        int n = __utf8_sequence(p);
        if (n > 1) {
            out->append(reinterpret_cast<const char *>(p), size_t(n));
            p += n;
            continue;
        }
        unsigned char c = *p++;
        switch (c) {
        case '"': *out += "\\\""; break;
        case '\\': *out += "\\\\"; break;
        case '\n': *out += "\\n"; break;
        case '\r': *out += "\\r"; break;
        case '\t': *out += "\\t"; break;
        default:
            if (n == 0 || c < 0x20 || c == 0x7F) {
                char b[8];
                snprintf(b, sizeof b, "\\u%04x", c);
                *out += b;
            } else {
                *out += char(c);
            }
        }
    }
    *out += '"';
}

static void __separate(json_writer *j)
{
    if (j->need_comma) j->out += ',';
    j->need_comma = false;
}

void json_key(json_writer *j, const char *key)
{
    __separate(j);
    json_append_quoted(&j->out, key);
    j->out += ':';
}

void json_string(json_writer *j, const char *text)
{
    __separate(j);
    if (text)
        json_append_quoted(&j->out, text);
    else
        j->out += "null";
    j->need_comma = true;
}

void json_number(json_writer *j, double v)
{
    __separate(j);
    if (std::isfinite(v)) {
        char b[40];
        snprintf(b, sizeof b, "%.9g", v);
        j->out += b;
    } else {
        j->out += "null";
    }
    j->need_comma = true;
}

void json_integer(json_writer *j, long long v)
{
    __separate(j);
    j->out += std::to_string(v);
    j->need_comma = true;
}

void json_bool(json_writer *j, bool v)
{
    __separate(j);
    j->out += v ? "true" : "false";
    j->need_comma = true;
}

void json_null(json_writer *j)
{
    __separate(j);
    j->out += "null";
    j->need_comma = true;
}

void json_begin_object(json_writer *j)
{
    __separate(j);
    j->out += '{';
}

void json_end_object(json_writer *j)
{
    j->out += '}';
    j->need_comma = true;
}

void json_begin_array(json_writer *j)
{
    __separate(j);
    j->out += '[';
}

void json_end_array(json_writer *j)
{
    j->out += ']';
    j->need_comma = true;
}

void json_numbers(json_writer *j, const float *v, int n)
{
    json_begin_array(j);
    for (int i = 0; i < n; i++) json_number(j, v[i]);
    json_end_array(j);
}

void json_field_string(json_writer *j, const char *key, const char *text)
{
    json_key(j, key);
    json_string(j, text);
}

void json_field_number(json_writer *j, const char *key, double v)
{
    json_key(j, key);
    json_number(j, v);
}

void json_field_integer(json_writer *j, const char *key, long long v)
{
    json_key(j, key);
    json_integer(j, v);
}

void json_field_bool(json_writer *j, const char *key, bool v)
{
    json_key(j, key);
    json_bool(j, v);
}

void json_field_numbers(json_writer *j, const char *key, const float *v, int n)
{
    json_key(j, key);
    json_numbers(j, v, n);
}
