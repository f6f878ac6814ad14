# Run by CPack once the package is made (CPACK_POST_BUILD_SCRIPTS). CPack adds
# a postinst and a postrm that call ldconfig to every package with a library
# in the loader's folders; the package's ldconfig trigger does that job, and
# with a postrm dpkg would keep the removed package's record until a purge.
# The scripts are taken out and the package put together again by dpkg-deb.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb could not unpack ${deb}")
  endif()
  file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build "${tree}" "${deb}"
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  file(REMOVE_RECURSE "${tree}")
  if(failed)
    message(FATAL_ERROR "dpkg-deb could not rebuild ${deb}")
  endif()
endforeach()
