// The one translation unit that holds stb_image_write's implementation.
// Compiled without warnings: it is a third-party file.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"
