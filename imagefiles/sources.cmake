# The image-file layer's sources, one list for the program's build
# (CMakeLists.txt here) and the fuzzing build (fuzz/CMakeLists.txt).
set(CALMORA_IMAGEFILES_FILES
  bitmap_transfer.cpp
  bmp_header.cpp
  contents_save.cpp
  decoder_messages.cpp
  exif_check.cpp
  exif_io.cpp
  exif_strip.cpp
  exif_tags.cpp
  image_guard.cpp
  image_guard_jpeg.cpp
  image_load.cpp
  image_save.cpp
  memory_budget.cpp
  orientation.cpp
  pending_file.cpp
  sandbox.cpp
  sandbox_child.cpp
  sandboxed_decode.cpp
  save_target.cpp
  seccomp_filter.cpp)
