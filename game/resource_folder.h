#pragma once
// The resource folder: named by app.ini beside the executable; every data file
// of the game is read from it.

#include <string>

#define RESOURCE_FOLDER_KEY L"vorn_freeware_resource_folder"
#define RESOURCE_FOLDER_INI "app.ini"

// Reads app.ini from the executable's folder. True when the file could be
// opened and read, whether or not the key was present.
bool init_resource_folder(const wchar_t *key);
// The same for an app.ini at a given path.
bool init_resource_folder_from(const char *ini_path, const wchar_t *key);

// The folder (ends in a path separator, or is empty: then paths are relative
// to the working directory).
const char *resource_folder_get();
void resource_folder_set(const char *folder);
// The folder followed by a relative data path such as "splash\loading_pic_01.tga".
std::string resource_path(const char *relative);
