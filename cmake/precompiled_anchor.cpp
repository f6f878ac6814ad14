// The one source of the targets that hold the tests' precompiled headers
// (cmake/calmora_targets.cmake); the header itself is all they build.
int main() { return 0; }
