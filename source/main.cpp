#include "zor_api.h"
extern "C" __attribute__((visibility("default"))) int32_t zor_main(int32_t, void*, void*, void*) { return -1; }
