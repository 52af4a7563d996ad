# Run by cpack once the files are staged, before the package is made (and
# its md5sums are taken): takes out of the programs the sections that
# CPACK_STRIP_FILES leaves and Debian's own packaging tools remove, the
# compiler's .comment and the .note section, as dh_strip does.
find_program(strip_program NAMES strip REQUIRED)
file(GLOB programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
  message(FATAL_ERROR "strip_notes.cmake: no programs in ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND ${strip_program} --remove-section=.comment --remove-section=.note
                          ${program} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip_notes.cmake: strip failed on ${program}")
  endif()
endforeach()
