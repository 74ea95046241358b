# The Windows release's texts and its installer.
#
# The read-me and the licence in their Windows form (CR LF, the read-me with
# a byte-order mark: scripts/windows-text.py), beside the programs in the
# build folder, where the window's link opens the read-me and where both the
# zip (scripts/windows-zip.py) and the installer take them from.
set(QM_WINDOWS_README ${CMAKE_BINARY_DIR}/README.txt)
set(QM_WINDOWS_LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt)
add_custom_command(
  OUTPUT ${QM_WINDOWS_README}
  COMMAND ${QM_PYTHON} ${PROJECT_SOURCE_DIR}/scripts/windows-text.py
          ${PROJECT_SOURCE_DIR}/assets/readme.txt ${QM_WINDOWS_README} --bom
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/windows-text.py ${PROJECT_SOURCE_DIR}/assets/readme.txt
  VERBATIM)
add_custom_command(
  OUTPUT ${QM_WINDOWS_LICENSE}
  COMMAND ${QM_PYTHON} ${PROJECT_SOURCE_DIR}/scripts/windows-text.py
          ${PROJECT_SOURCE_DIR}/LICENSE ${QM_WINDOWS_LICENSE}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/windows-text.py ${PROJECT_SOURCE_DIR}/LICENSE
  VERBATIM)
add_custom_target(qm_windows_texts ALL DEPENDS ${QM_WINDOWS_README} ${QM_WINDOWS_LICENSE})
install(FILES ${QM_WINDOWS_README} ${QM_WINDOWS_LICENSE} DESTINATION .)

# The installer, which scripts/build-windows.sh makes with `cpack` (CPack's
# NSIS generator; Debian's nsis provides makensis). The template in
# cmake/nsis replaces CPack's own, which asks for administrator rights and
# installs for all users when it gets them: this one installs for the user
# alone, with no rights asked (see the template).
list(APPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/nsis)
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Quillmarsh)
set(CPACK_PACKAGE_VENDOR Quillmarsh)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quillmarsh-${PROJECT_VERSION}-windows-x64-setup)
# The folder under %LOCALAPPDATA%\Programs and the uninstall entry's key.
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quillmarsh)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quillmarsh)
# The installer's title, and the name of the shortcut and of the entry in
# 设置 › 应用: the window's own file description.
set(CPACK_NSIS_PACKAGE_NAME "Quillmarsh 随机分发")
set(CPACK_NSIS_DISPLAY_NAME "Quillmarsh 随机分发")
set(CPACK_NSIS_MUI_ICON ${QM_ICON})
set(CPACK_NSIS_MUI_UNIICON ${QM_ICON})
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
# The installer is compressed as a whole; the programs are already stripped.
set(CPACK_STRIP_FILES OFF)
# One installer with everything: the batch program's install rule names a
# component for the Debian split, which has no meaning here.
set(CPACK_MONOLITHIC_INSTALL ON)
include(CPack)
