# Installation of the programs and their data (help pages, desktop entry,
# icon), the help pages beside the built program, and the About window's
# links. Included from the top level once every target exists.

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
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/calmora.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/calmora.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
