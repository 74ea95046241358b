# The documents installed with the programs on Linux: the manual pages, in
# English and Simplified Chinese, and in the documentation folder the licence
# in the form Debian reads (copyright), the change log and the Chinese
# read-me. Manual pages and the change log are installed compressed, without
# a time stamp in the gzip header, so that two builds of the same sources
# give the same package.

find_program(QM_GZIP gzip REQUIRED)

# qm_install_gzipped(SOURCE DESTINATION): SOURCE, gzipped, into DESTINATION.
function(qm_install_gzipped source destination)
  file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${source})
  set(copy ${CMAKE_BINARY_DIR}/gzipped/${name})
  add_custom_command(
    OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${QM_GZIP} -9nf ${copy}
    DEPENDS ${source}
    VERBATIM)
  string(MAKE_C_IDENTIFIER "qm_gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

set(QM_MANUAL_PROGRAMS quillmarsh-batch)
if(QM_BUILD_QT)
  list(APPEND QM_MANUAL_PROGRAMS quillmarsh)
endif()
foreach(program IN LISTS QM_MANUAL_PROGRAMS)
  qm_install_gzipped(${PROJECT_SOURCE_DIR}/man/${program}.1 share/man/man1)
  qm_install_gzipped(${PROJECT_SOURCE_DIR}/man/zh_CN/${program}.1 share/man/zh_CN/man1)
endforeach()
qm_install_gzipped(${PROJECT_SOURCE_DIR}/assets/changelog ${QM_DOC_DIR})

# Debian's machine-readable copyright file, around the text of LICENSE:
# its copyright line goes into the header, the permission text indented
# below "License: Expat" (Debian's name for this MIT licence), each empty
# line written " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE QM_LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${QM_LICENSE}")
set(QM_COPYRIGHT_HOLDER "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" QM_LICENSE_TEXT "${QM_LICENSE}")
string(STRIP "${QM_LICENSE_TEXT}" QM_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" QM_LICENSE_TEXT "${QM_LICENSE_TEXT}")
string(REPLACE "\n" "\n " QM_LICENSE_TEXT " ${QM_LICENSE_TEXT}")
file(WRITE ${CMAKE_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Quillmarsh

Files: *
Copyright: ${QM_COPYRIGHT_HOLDER}
License: Expat
${QM_LICENSE_TEXT}
")
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${QM_DOC_DIR})
# The read-me that the window's link opens.
install(FILES ${PROJECT_SOURCE_DIR}/assets/readme.txt DESTINATION ${QM_DOC_DIR} RENAME README.txt)
