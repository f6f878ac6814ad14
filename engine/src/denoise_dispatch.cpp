// The one place that chooses how a denoise call is computed.
#include <cstdlib>
#include <cstring>

#include "denoise_call.h"

namespace kc {

void Denoise(const DenoiseCall& c) { DenoiseReference(c); }

}  // namespace kc
