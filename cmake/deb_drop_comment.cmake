# Run by CPack on the staged files before it packs them (CPACK_PRE_BUILD_SCRIPTS):
# drops the .comment section, the compilers' names and versions, from the
# programs. CPack's strip keeps it, and Debian's own packages are built
# without it, which lintian notes as binary-has-unneeded-section.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}/*/usr/bin/*" "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_QM_OBJCOPY}" --remove-section=.comment "${program}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${CPACK_QM_OBJCOPY} could not drop .comment from ${program}")
  endif()
endforeach()
