# What every Windows program of the project carries: the icon, a version
# record (shown in the file's properties) and a manifest.

find_program(QM_PYTHON NAMES python3 REQUIRED)

# The icon, made from the PNG at build time (scripts/png-to-ico.py, standard
# library only), so that only the PNG is kept in the repository.
set(QM_ICON ${CMAKE_BINARY_DIR}/quillmarsh.ico)
add_custom_command(
  OUTPUT ${QM_ICON}
  COMMAND ${QM_PYTHON} ${PROJECT_SOURCE_DIR}/scripts/png-to-ico.py ${PROJECT_SOURCE_DIR}/assets/quillmarsh.png ${QM_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/png-to-ico.py ${PROJECT_SOURCE_DIR}/assets/quillmarsh.png
  COMMENT "Making quillmarsh.ico"
  VERBATIM)
add_custom_target(qm_icon DEPENDS ${QM_ICON})

enable_language(RC)

# qm_windows_program(TARGET DESCRIPTION): adds the resources to TARGET.
function(qm_windows_program target description)
  set(QM_RC_DESCRIPTION "${description}")
  set(QM_RC_FILE_NAME "${target}.exe")
  set(QM_RC_ICON "${QM_ICON}")
  set(QM_RC_MANIFEST "${PROJECT_SOURCE_DIR}/cmake/program.manifest")
  set(rc ${CMAKE_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${QM_ICON};${QM_RC_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} qm_icon)
endfunction()
