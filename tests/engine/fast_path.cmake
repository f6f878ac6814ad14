# The fast-path and thread tests once more under other engine settings, so that
# the same cases check every kernel, several thread counts and the reference
# path. The engine reads these variables once per process, hence one run each.
foreach(setting
    "THREADS_1=KCDENOISE_THREADS=1"
    "THREADS_3=KCDENOISE_THREADS=3"
    "KERNEL_SSE2=KCDENOISE_KERNEL=sse2"
    "KERNEL_GENERIC=KCDENOISE_KERNEL=generic"
    "REFERENCE=KCDENOISE_FORCE_REFERENCE=1")
  string(REPLACE "=" ";" parts "${setting}")
  list(GET parts 0 label)
  string(REGEX REPLACE "^[^=]*=" "" environment "${setting}")
  if(TARGET fast_path_test)
    add_test(NAME fast_path_test.${label} COMMAND fast_path_test)
    set_tests_properties(fast_path_test.${label} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300)
  endif()
  if(TARGET threads_test AND label MATCHES "^THREADS")
    add_test(NAME threads_test.${label} COMMAND threads_test)
    set_tests_properties(threads_test.${label} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300)
  endif()
endforeach()
