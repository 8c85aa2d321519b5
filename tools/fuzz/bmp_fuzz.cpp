// libFuzzer target: BMP pictures through the image loader (see image_fuzz.h).
#define FUZZ_IMAGE_EXT ".bmp"
#include "image_fuzz.h"
