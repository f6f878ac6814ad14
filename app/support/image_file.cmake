# Image file reading and writing, without Qt: used by the window program,
# the batch tool and tests.
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(FREEIMAGE_LIBRARY freeimage REQUIRED)

add_library(calmora_image_file STATIC ${CMAKE_CURRENT_LIST_DIR}/image_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_file_exif.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_file_exif_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_file_orientation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_guard.cpp)
target_include_directories(calmora_image_file PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${FREEIMAGE_INCLUDE_DIR})
target_link_libraries(calmora_image_file PUBLIC ${FREEIMAGE_LIBRARY})
target_compile_options(calmora_image_file PRIVATE -Wall -Wextra)
