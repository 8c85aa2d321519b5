#include "resource_folder.h"

#include <cstdint>
#include <string>
#include <vector>

#include "corelib/files.h"
#include "corelib/log.h"
#include "corelib/mem.h"

static std::string resource_folder;

const char *resource_folder_get() { return resource_folder.c_str(); }

void resource_folder_set(const char *folder) { resource_folder = folder ? folder : ""; }

std::string resource_path(const char *relative) { return resource_folder + relative; }

// The file's characters: UTF-16LE code points after an FF FE mark, otherwise
// its bytes one by one. False for text that cannot be a settings file.
static bool __decode_ini(const uint8_t *bytes, size_t size, std::u32string *text, bool *wide, const char **why)
{
    text->clear();
    *wide = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (!*wide) {
        for (size_t i = 0; i < size; i++) {
            if (bytes[i] == 0) {
                *why = "it holds zero bytes (not a text file)";
                return false;
            }
            text->push_back(bytes[i]);
        }
        return true;
    }
    if ((size - 2) % 2 != 0) {
        *why = "its UTF-16 text has an odd number of bytes";
        return false;
    }
    for (size_t i = 2; i + 1 < size; i += 2) {
        char32_t u = char32_t(bytes[i] | (bytes[i + 1] << 8));
        if (u >= 0xD800 && u <= 0xDBFF) {
            char32_t lo = i + 3 < size ? char32_t(bytes[i + 2] | (bytes[i + 3] << 8)) : 0;
            if (lo < 0xDC00 || lo > 0xDFFF) {
                *why = "its UTF-16 text is malformed";
                return false;
            }
            u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            i += 2;
        } else if ((u >= 0xDC00 && u <= 0xDFFF) || u == 0) {
            *why = u == 0 ? "it holds zero characters (not a text file)" : "its UTF-16 text is malformed";
            return false;
        }
        text->push_back(u);
    }
    return true;
}

// Wide text back to the narrow set: 8-bit files keep their bytes, UTF-16 files become UTF-8.
static std::string __narrow(const std::u32string &s, bool wide)
{
    std::string out;
    for (char32_t c : s) {
        if (!wide || c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

static std::u32string __trim(const std::u32string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == U' ' || s[a] == U'\t')) a++;
    while (b > a && (s[b - 1] == U' ' || s[b - 1] == U'\t')) b--;
    return s.substr(a, b - a);
}

static bool __equal_nocase(const std::u32string &a, const wchar_t *b)
{
    size_t n = 0;
    for (; b[n]; n++) {
        if (n >= a.size()) return false;
        char32_t x = a[n], y = char32_t(b[n]);
        if (x >= U'A' && x <= U'Z') x += 32;
        if (y >= U'A' && y <= U'Z') y += 32;
        if (x != y) return false;
    }
    return n == a.size();
}

static bool __report_missing_ini()
{
    do_log(LOG_WARNING, LOG_TO_ALL, "%s() at file \"%s\", line %i: %s!", "init_resource_folder", ".\\resource_folder",
           32, "\"Can't find or open app.ini\"");
    return false;
}

bool init_resource_folder_from(const char *ini_path, const wchar_t *key)
{
    if (!file_exists(ini_path)) return __report_missing_ini();
    void *block = nullptr;
    size_t size = 0;
    if (!load_file_to_buffer(ini_path, &block, &size)) return __report_missing_ini();

    std::u32string text;
    bool wide = false;
    const char *why = nullptr;
    bool ok = size > 0 && __decode_ini(static_cast<const uint8_t *>(block), size, &text, &wide, &why);
    mem_free(block);
    if (!ok) {
        do_log(LOG_WARNING, LOG_TO_DEBUGGER | LOG_TO_FILE, "init_resource_folder(): %s is refused: %s!",
               log_quote(ini_path).text, why ? why : "it is empty");
        return __report_missing_ini();
    }

    resource_folder.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find_first_of(U"\r\n", pos);
        if (eol == std::u32string::npos) eol = text.size();
        std::u32string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (line.size() < 2) continue;
        size_t eq = line.find(U'=');
        if (eq == std::u32string::npos || eq == 0) continue;
        if (!__equal_nocase(__trim(line.substr(0, eq)), key)) continue;
        resource_folder = __narrow(__trim(line.substr(eq + 1)), wide);
    }

    // Every data path is the folder followed by a relative name, so the folder
    // has to end in a separator; add one when the setting forgot it.
    if (!resource_folder.empty() && resource_folder.back() != '\\' && resource_folder.back() != '/') {
        resource_folder.push_back('/');
        do_log(LOG_INFO, LOG_TO_DEBUGGER | LOG_TO_FILE, "init_resource_folder(): a separator was added to \"%s\".",
               log_quote(resource_folder.c_str()).text);
    }
    return true;
}

bool init_resource_folder(const wchar_t *key)
{
    std::string path = file_executable_dir() + RESOURCE_FOLDER_INI;
    return init_resource_folder_from(path.c_str(), key);
}
