# The Debian package, made by CPack from the install rules: the package holds
# exactly what `cmake --install` installs (tested by tests/install), plus the
# Debian documents. scripts/package.sh configures for /usr and runs it.

# Debian wants its copyright and changelog in /usr/share/doc/<package>.
set(CALMORA_DEB_DOCS ${PROJECT_BINARY_DIR}/packaging/debian-doc)
add_custom_command(OUTPUT ${CALMORA_DEB_DOCS}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CALMORA_DEB_DOCS}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
          > ${CALMORA_DEB_DOCS}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(calmora_deb_docs ALL DEPENDS ${CALMORA_DEB_DOCS}/changelog.gz)
add_dependencies(calmora-denoise calmora_deb_docs)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${CALMORA_DEB_DOCS}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/calmora)

# CPack packs what the build step built, as `cmake --install` does, rather
# than building the whole tree (tests included) again first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Calmora developers")
set(CPACK_PACKAGE_CONTACT "Calmora developers <${CALMORA_CONTACT}>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # calmora_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CALMORA_HOMEPAGE})
# Dependencies from the libraries the programs really link, found by
# dpkg-shlibdeps; libKcDenoise is in the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# libKcDenoise.so is in the loader's folders: Debian refreshes the loader's
# cache through libc's ldconfig trigger, not from maintainer scripts, and the
# package has none.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/drop_ldconfig_scripts.cmake)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# CPack puts the summary first and indents the rest as Debian's long description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo denoiser with a preview of the filter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Calmora removes the grain of high ISO settings and small sensors from
photographs with a non-local means filter, which keeps edges and fine
detail. A dialog previews the filter on an area of the picture and shows
the original, the denoised picture and the removed noise side by side.
.
The package holds the window program calmora (English and Italian), the
batch tool calmora-denoise, and the KcDenoise library with its C header.")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
