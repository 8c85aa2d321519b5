#pragma once
// quox2 view: opens a window on a scene file (quox2_view.cpp).

// camera_name: look through that scene camera (null: free or scripted camera);
// frames > 0: end after that many frames (scripted flight without a camera);
// record_dir: write every frame there as a numbered BMP. Returns the exit status.
int quox2_view(const char *file, const char *camera_name, int frames, const char *record_dir);
