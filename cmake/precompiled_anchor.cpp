// The one source of the targets that hold precompiled headers for the tests
// and the window program (calmora_precompiled_headers in
// cmake/calmora_targets.cmake); the header itself is all they build.
int main() { return 0; }
