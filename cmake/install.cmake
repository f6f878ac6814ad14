# Installation of the programs and their data (help pages, desktop entry,
# icons, AppStream data, manual pages), the help pages beside the built
# program, the About window's links and the Debian package. Included from the
# top level once every target exists.

set(CALMORA_HOMEPAGE "https://calmora.example.org" CACHE STRING
    "Home page shown and opened by the About window")
set(CALMORA_CONTACT "calmora@example.org" CACHE STRING
    "Contact e-mail address shown and opened by the About window")

if(TARGET calmora_support)
  # Only the file that uses them sees the links, so changing one rebuilds one file.
  set_source_files_properties(${PROJECT_SOURCE_DIR}/app/support/about_box.cpp
    DIRECTORY ${PROJECT_SOURCE_DIR}/app/support
    PROPERTIES COMPILE_DEFINITIONS
      "CALMORA_HOMEPAGE=\"${CALMORA_HOMEPAGE}\";CALMORA_CONTACT=\"${CALMORA_CONTACT}\"")
endif()

foreach(program calmora)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(CALMORA_GUI)
  # The program looks for CmHelp beside itself first, so a build runs with
  # its help pages without being installed.
  set(CALMORA_HELP_SOURCE ${PROJECT_SOURCE_DIR}/help/CmHelp)
  set(CALMORA_HELP_BUILT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/CmHelp)
  file(GLOB_RECURSE CALMORA_HELP_FILES CONFIGURE_DEPENDS ${CALMORA_HELP_SOURCE}/*)
  set(CALMORA_HELP_STAMP ${CMAKE_CURRENT_BINARY_DIR}/CmHelp.stamp)
  add_custom_command(OUTPUT ${CALMORA_HELP_STAMP}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CALMORA_HELP_BUILT}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CALMORA_HELP_SOURCE} ${CALMORA_HELP_BUILT}
    COMMAND ${CMAKE_COMMAND} -E touch ${CALMORA_HELP_STAMP}
    DEPENDS ${CALMORA_HELP_FILES}
    COMMENT "Copying the help pages beside the program")
  add_custom_target(calmora_help ALL DEPENDS ${CALMORA_HELP_STAMP})
  if(TARGET calmora)
    add_dependencies(calmora calmora_help)
  endif()

  install(DIRECTORY ${CALMORA_HELP_SOURCE} DESTINATION ${CMAKE_INSTALL_DATADIR}/calmora)

  # One id names the desktop entry, the AppStream data and the icon, so that
  # software centres tie the three together.
  set(CALMORA_APP_ID io.github.calmora.Calmora)
  set(CALMORA_SCREENSHOTS_URL "${CALMORA_HOMEPAGE}/docs" CACHE STRING
      "Address of the folder where docs/screenshot-*.png are published, for the AppStream data")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${CALMORA_APP_ID}.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/packaging/${CALMORA_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${CALMORA_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${CALMORA_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/calmora.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${CALMORA_APP_ID}.svg)
  # Made from the SVG by packaging/make-icons.sh; menus that cannot draw SVG use these.
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/calmora-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${CALMORA_APP_ID}.png)
  endforeach()
endif()

# Manual pages, compressed as man expects them, without a time stamp so that
# two builds give the same files.
set(CALMORA_MAN_PAGES calmora-denoise.1)
if(CALMORA_GUI)
  list(APPEND CALMORA_MAN_PAGES calmora.1)
endif()
set(CALMORA_MAN_BUILT)
foreach(page IN LISTS CALMORA_MAN_PAGES)
  set(built ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${built}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/man/${page} > ${built}
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  list(APPEND CALMORA_MAN_BUILT ${built})
endforeach()
add_custom_target(calmora_man ALL DEPENDS ${CALMORA_MAN_BUILT})
add_dependencies(calmora-denoise calmora_man)
install(FILES ${CALMORA_MAN_BUILT} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

include(${PROJECT_SOURCE_DIR}/packaging/debian_package.cmake)
