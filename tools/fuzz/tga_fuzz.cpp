// libFuzzer target: TGA pictures through the image loader (see image_fuzz.h).
#define FUZZ_IMAGE_EXT ".tga"
#include "image_fuzz.h"
