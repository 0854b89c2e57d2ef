// The seal's hashing with vector instructions the build's baseline lacks:
// compiled once per instruction set (SEAL_HASH_UPDATE names the function,
// the build adds -msse2 or -mavx2), and package_seal.cpp calls the one the
// processor has. In the 32-bit runner XXH3 hashes a GiB in about 460 ms
// without them, 96 ms with SSE2 and 40 ms with AVX2. Keep it to the C
// header: every function of it is static here, so no vector code can stand
// in for code of other files.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace nsTobrin {

void SEAL_HASH_UPDATE(XXH3_state_t* state, const void* data, size_t size) { XXH3_128bits_update(state, data, size); }

}  // namespace nsTobrin
