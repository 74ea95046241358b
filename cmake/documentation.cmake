# The documents installed with the programs on Linux: the manual pages, in
# English and Simplified Chinese, and in each package's documentation folder
# the licence in the form Debian reads (copyright) and the change log; the
# window's folder holds the Chinese read-me too. Manual pages and the change
# log are installed compressed, without a time stamp in the gzip header, so
# that two builds of the same sources give the same package.

find_program(QM_GZIP gzip REQUIRED)

# qm_gzipped(SOURCE VARIABLE): SOURCE, gzipped once at build time; its
# path into VARIABLE.
function(qm_gzipped source variable)
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
  set(${variable} ${copy}.gz PARENT_SCOPE)
endfunction()

# Each program's pages go with the program: the install component that
# holds it is the Debian package they land in.
set(QM_MANUAL_PROGRAMS quillmarsh-batch:batch)
if(QM_BUILD_QT)
  list(APPEND QM_MANUAL_PROGRAMS quillmarsh:window)
endif()
foreach(entry IN LISTS QM_MANUAL_PROGRAMS)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 program)
  list(GET entry 1 component)
  qm_gzipped(${PROJECT_SOURCE_DIR}/man/${program}.1 page)
  install(FILES ${page} DESTINATION share/man/man1 COMPONENT ${component})
  qm_gzipped(${PROJECT_SOURCE_DIR}/man/zh_CN/${program}.1 page)
  install(FILES ${page} DESTINATION share/man/zh_CN/man1 COMPONENT ${component})
endforeach()

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

# Debian wants both files in every package's own folder, even a package
# that depends on another that has them.
qm_gzipped(${PROJECT_SOURCE_DIR}/assets/changelog changelog)
install(FILES ${CMAKE_BINARY_DIR}/copyright ${changelog} DESTINATION share/doc/quillmarsh-batch COMPONENT batch)
if(QM_BUILD_QT)
  install(FILES ${CMAKE_BINARY_DIR}/copyright ${changelog} DESTINATION ${QM_DOC_DIR} COMPONENT window)
  # The read-me that the window's link opens.
  install(FILES ${PROJECT_SOURCE_DIR}/assets/readme.txt DESTINATION ${QM_DOC_DIR} RENAME README.txt
          COMPONENT window)
endif()
