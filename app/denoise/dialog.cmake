# FormDenoise, the denoise dialog: widgets over the run logic and the support layer.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
find_path(CALMORA_FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_library(CALMORA_FREEIMAGE_LIBRARY NAMES freeimage FreeImage REQUIRED)

add_library(calmora_denoise_dialog STATIC
  ${CMAKE_CURRENT_LIST_DIR}/area_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/denoise_dialog_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/denoise_dialog_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/denoise_dialog_launch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/form_denoise.h
  ${CMAKE_CURRENT_LIST_DIR}/form_denoise.cpp
  ${CMAKE_CURRENT_LIST_DIR}/form_denoise_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/form_denoise_runs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result_view_pictures.cpp)
set_target_properties(calmora_denoise_dialog PROPERTIES AUTOMOC ON POSITION_INDEPENDENT_CODE ON)
target_include_directories(calmora_denoise_dialog PUBLIC
  ${CMAKE_CURRENT_LIST_DIR} ${CALMORA_FREEIMAGE_INCLUDE_DIR})
target_link_libraries(calmora_denoise_dialog PUBLIC
  calmora_denoise_logic calmora_support Qt6::Widgets KcDenoise ${CALMORA_FREEIMAGE_LIBRARY})
target_compile_options(calmora_denoise_dialog PRIVATE -Wall -Wextra)
