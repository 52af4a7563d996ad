# Debian's hardening flags for every target of the build: fortified libc
# calls, stack protector, read-only relocations bound at start (relro,
# bindnow) and position-independent executables.
#
#   include(cmake/Hardening.cmake)   in the top CMakeLists.txt, before the
#                                    first add_subdirectory()
#
# VORPEL_HARDENING is on by default in a Release build on a machine with
# dpkg-buildflags (dpkg-dev), which is how the Debian package is built; other
# builds may turn it on too. The flags come from
# `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get ...`, so they
# follow whatever the installed dpkg considers hardened. The optimisation
# level and debug information stay the build type's choice: -O and -g are
# taken out of what dpkg-buildflags gives.

find_program(VORPEL_DPKG_BUILDFLAGS dpkg-buildflags)
mark_as_advanced(VORPEL_DPKG_BUILDFLAGS)

set(vorpel_hardening_default OFF)
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND VORPEL_DPKG_BUILDFLAGS)
  set(vorpel_hardening_default ON)
endif()
option(VORPEL_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)"
       ${vorpel_hardening_default})

if(VORPEL_HARDENING)
  if(NOT VORPEL_DPKG_BUILDFLAGS)
    message(FATAL_ERROR "VORPEL_HARDENING needs dpkg-buildflags (Debian package dpkg-dev)")
  endif()

  # One variable of dpkg-buildflags as a CMake list. Run from the source
  # folder, so its -ffile-prefix-map maps this folder to "." and the build
  # path does not end up in the binaries.
  function(vorpel_dpkg_buildflags variable out)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${VORPEL_DPKG_BUILDFLAGS} --get ${variable}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags
      OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${variable} failed (${status})")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-O.*$|^-g.*$")
    set(${out} ${flags} PARENT_SCOPE)
  endfunction()

  vorpel_dpkg_buildflags(CPPFLAGS vorpel_hardening_cppflags)
  vorpel_dpkg_buildflags(CXXFLAGS vorpel_hardening_cxxflags)
  vorpel_dpkg_buildflags(LDFLAGS vorpel_hardening_ldflags)
  add_compile_options(${vorpel_hardening_cppflags} ${vorpel_hardening_cxxflags})
  add_link_options(${vorpel_hardening_ldflags})

  # PIE: executables compiled with -fPIE and linked with -pie whatever the
  # compiler's default.
  include(CheckPIESupported)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)

  message(STATUS "Hardening flags: ${vorpel_hardening_cppflags} ${vorpel_hardening_cxxflags}"
                 " | link: ${vorpel_hardening_ldflags}")
endif()
