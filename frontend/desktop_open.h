#pragma once
// Opening an address (a web page or a local document) in the user's browser
// through the desktop's opener ("xdg-open"). The opener runs in the
// background: the call never waits for it. A missing opener is a logged line.

#include <string>

// Starts the opener with the address; false (logged) when there is no opener
// or it cannot be started. What the opener then does is not examined.
bool desktop_open(const char *address);
// The opener program: a name looked up in PATH or a path (null: "xdg-open").
void desktop_set_opener(const char *program);
// The opener's full path, "" when there is none.
std::string desktop_find_opener();
