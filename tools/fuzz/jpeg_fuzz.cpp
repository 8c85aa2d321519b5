// libFuzzer target: JPEG pictures through the image loader (see image_fuzz.h).
#define FUZZ_IMAGE_EXT ""
#include "image_fuzz.h"
