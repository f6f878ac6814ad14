// The guard tests count the decoders FreeImage creates in the test's own
// process, to show that a refused file never reaches one; so their loads
// decode in process instead of in the sandbox (which has tests of its own).
#include <cstdlib>

namespace {

const bool g_inProcess = setenv("CALMORA_DECODE_IN_PROCESS", "1", 1) == 0;

}  // namespace
