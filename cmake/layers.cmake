# The layers of the program, and what each may include.
#
#   text  ->  platform (the interfaces)  ->  engine  ->  window model  ->  settings, folders, dispatch, input
#         ->  front ends
#             platform sides (posix, win32): text and the interfaces
#
# The engine carries out runs and undos for whoever asks; the window model
# sits above it, and the handlers of its controls above that.
#
# Every header is included by its path below src ("engine/undo.h"), so one
# include folder for all of src would let any file reach any other. Instead
# each layer is compiled against a folder of its own that holds links to the
# folders (or single headers) it may see, and nothing else: an include of a
# layer above, or of a platform side's inner workings, fails to build.

# qm_include_root(NAME ENTRY...): the include folder NAME, with a link for
# each ENTRY, a path below src: a folder ("window"), every header of a folder
# ("platform/*.h", the folder's own headers without its subfolders), or one
# header ("platform/posix/posix_system.h"). Sets QM_ROOT_<NAME>.
function(qm_include_root name)
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(entry ${ARGN})
    if(entry MATCHES "\\*")
      file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${entry})
    else()
      set(files ${CMAKE_SOURCE_DIR}/src/${entry})
    endif()
    foreach(file ${files})
      file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR}/src ${file})
      get_filename_component(parent ${root}/${relative} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${file} ${root}/${relative} SYMBOLIC)
    endforeach()
  endforeach()
  set(QM_ROOT_${name} ${root} PARENT_SCOPE)
endfunction()

# The platform's interfaces, which every layer above text sees.
set(QM_INTERFACES text platform/*.h)
# What a front end may use of the platform side it runs on.
if(WIN32)
  set(QM_PLATFORM_FACE platform/win32/win32_system.h platform/win32/win32_desktop.h
                       platform/win32/win32_console.h platform/win32/win32_text.h)
else()
  set(QM_PLATFORM_FACE platform/posix/posix_system.h platform/posix/posix_desktop.h)
endif()

qm_include_root(text text)
qm_include_root(platform_side ${QM_INTERFACES} platform/${QM_PLATFORM_SIDE})
qm_include_root(engine ${QM_INTERFACES} engine)
qm_include_root(window ${QM_INTERFACES} engine window)
qm_include_root(settings ${QM_INTERFACES} engine window settings)
qm_include_root(folders ${QM_INTERFACES} engine window folders)
qm_include_root(dispatch ${QM_INTERFACES} engine window settings dispatch)
qm_include_root(input ${QM_INTERFACES} engine window input)
qm_include_root(front_end ${QM_INTERFACES} ${QM_PLATFORM_FACE} engine window settings folders dispatch input app)

# qm_layer(NAME ROOT SOURCES...): an object library of one layer, compiled
# against the include folder ROOT alone.
function(qm_layer name root)
  add_library(${name} OBJECT ${ARGN})
  target_include_directories(${name} PRIVATE ${QM_ROOT_${root}})
endfunction()
