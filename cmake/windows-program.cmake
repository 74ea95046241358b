# What every Windows program of the project carries: the icon, a version
# record (shown in the file's properties) and a manifest.

find_program(QM_PYTHON NAMES python3 REQUIRED)

# The icon, made from the PNGs at build time (scripts/png-to-ico.py, standard
# library only), so that only the PNGs are kept in the repository: the sizes
# Explorer shows, from the small icons of a list to its largest view.
set(QM_ICON ${CMAKE_BINARY_DIR}/quillmarsh.ico)
set(QM_ICON_PICTURES)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND QM_ICON_PICTURES ${PROJECT_SOURCE_DIR}/assets/icons/quillmarsh-${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${QM_ICON}
  COMMAND ${QM_PYTHON} ${PROJECT_SOURCE_DIR}/scripts/png-to-ico.py ${QM_ICON} ${QM_ICON_PICTURES}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/png-to-ico.py ${QM_ICON_PICTURES}
  COMMENT "Making quillmarsh.ico"
  VERBATIM)
add_custom_target(qm_icon DEPENDS ${QM_ICON})

enable_language(RC)

# What a program with a window adds to its manifest: the common controls of
# version 6 (visual styles, and the controls' newer messages), and the
# density of each monitor, so that the window is laid out for it and stays
# sharp instead of being stretched by the system (Windows 7 and 8 take the
# system's density).
set(QM_MANIFEST_WINDOW_PART [=[
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>
      <dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>
    </windowsSettings>
  </application>]=])

# qm_windows_program(TARGET DESCRIPTION [WINDOW]): adds the resources to
# TARGET; WINDOW for a program with a window.
function(qm_windows_program target description)
  set(QM_RC_DESCRIPTION "${description}")
  set(QM_RC_FILE_NAME "${target}.exe")
  set(QM_RC_ICON "${QM_ICON}")
  set(QM_MANIFEST_WINDOW "")
  if("WINDOW" IN_LIST ARGN)
    set(QM_MANIFEST_WINDOW "\n${QM_MANIFEST_WINDOW_PART}")
  endif()
  set(QM_RC_MANIFEST "${CMAKE_BINARY_DIR}/${target}.manifest")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in ${QM_RC_MANIFEST} @ONLY)
  set(rc ${CMAKE_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${QM_ICON};${QM_RC_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} qm_icon)
endfunction()
