// The seal's hashing with SSE2, for the 32-bit build, whose baseline has no
// vector instructions: XXH3 runs about four times faster with them. Only
// this file is compiled with -msse2; package_seal.cpp calls it when the
// processor has SSE2. Keep it to the C header: every function of it is
// static here, so no vector code can stand in for code of other files.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace nsTobrin {

void SealHashUpdateSse2(XXH3_state_t* state, const void* data, size_t size) { XXH3_128bits_update(state, data, size); }

}  // namespace nsTobrin
