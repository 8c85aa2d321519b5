#pragma once
// The one JSON writer of the tools and dumps: a document built into a string,
// values separated by commas inside arrays and objects.
//
//   json_writer j;
//   json_begin_object(&j);
//   json_key(&j, "name");
//   json_string(&j, name);
//   json_end_object(&j);
//   fputs(j.out.c_str(), stdout);
//
// Texts from data files are byte strings of no sure encoding: well-formed UTF-8
// is written as it is, and every byte that is not part of a well-formed UTF-8
// sequence is taken as a Latin-1 character and escaped (\u00XX), so the document
// is valid JSON whatever the bytes. Control characters are escaped.

#include <string>

struct json_writer {
    std::string out;
    bool need_comma = false;
};

// A quoted, escaped JSON string of the bytes of text (no separator).
void json_append_quoted(std::string *out, const char *text);

void json_key(json_writer *j, const char *key);
// A string value; null for a null text.
void json_string(json_writer *j, const char *text);
// A number (%.9g, so a float survives the trip); null when not finite.
void json_number(json_writer *j, double v);
void json_integer(json_writer *j, long long v);
void json_bool(json_writer *j, bool v);
void json_null(json_writer *j);
void json_begin_object(json_writer *j);
void json_end_object(json_writer *j);
void json_begin_array(json_writer *j);
void json_end_array(json_writer *j);
// An array of n numbers.
void json_numbers(json_writer *j, const float *v, int n);

// A key and its value in one call.
void json_field_string(json_writer *j, const char *key, const char *text);
void json_field_number(json_writer *j, const char *key, double v);
void json_field_integer(json_writer *j, const char *key, long long v);
void json_field_bool(json_writer *j, const char *key, bool v);
void json_field_numbers(json_writer *j, const char *key, const float *v, int n);
