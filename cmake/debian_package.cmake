# The Debian packages that scripts/package.sh builds with `cpack`, one for
# each install component:
#   quillmarsh-batch (component batch): the command line, its manual pages,
#     its copyright file and change log; it needs neither Qt nor a display,
#     so a server or a script gets it without them;
#   quillmarsh (component window): the window, its manual pages, the desktop
#     entry, the icons, the AppStream data and the read-me, depending on the
#     first at its exact version.
# An install rule without a component would make a third package
# (quillmarsh-unspecified), which the package test refuses.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmarsh)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_QM_OBJCOPY "${CMAKE_OBJCOPY}")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_drop_comment.cmake)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_BATCH_PACKAGE_NAME quillmarsh-batch)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME quillmarsh)
set(CPACK_COMPONENT_WINDOW_DEPENDS batch)
# "quillmarsh-batch (= VERSION)": the window's --help sends the user to
# quillmarsh-batch, and the two are built from one source, so they are
# installed at one version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# No common synopsis: each package's description begins with its own, which
# CPack then takes for the first line. Its long description's lines CPack
# indents itself.
set(QM_DESCRIPTION_BODY
  "Quillmarsh copies or moves the files of one folder, in random order, into
numbered share folders: a fixed number of files per share, or a given number
of equal shares. It filters the files by type, never replaces a file that is
already there, and lists the files it could not transfer.")
set(CPACK_DEBIAN_BATCH_DESCRIPTION
  "deals the files of a folder out at random into shares (command line)
${QM_DESCRIPTION_BODY}

This package holds quillmarsh-batch, which makes one run from the command
line, and can preview, record and undo a run. The window is in the package
quillmarsh.")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
  "deals the files of a folder out at random into shares (window)
${QM_DESCRIPTION_BODY}

This package holds the window, which speaks Simplified Chinese.")
set(QM_MAINTAINER "Quillmarsh developers <maintainers@quillmarsh.invalid>" CACHE STRING
  "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
if(QM_HOME_PAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QM_HOME_PAGE}")
endif()
# name_version_arch.deb, for each package
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link come from dpkg-shlibdeps. Qt loads the
# plugin that connects it to the display at run time, so no link names it;
# without it the window cannot open, so it is a dependency all the same. So
# is a font with Chinese characters: every text of the window is Chinese,
# and without one it shows boxes. Any of them will do, so the smallest comes
# first and is what apt picks when none is installed (installed sizes in
# Debian 12: WenQuanYi Micro Hei 5 MB, Zen Hei 16 MB, AR PL UMing 21 MB,
# Noto CJK 91 MB).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
  "qt6-qpa-plugins, fonts-wqy-microhei | fonts-wqy-zenhei | fonts-arphic-uming | fonts-noto-cjk")
# Started, not linked: xdg-open shows the target folder and the failure
# log; the translation puts the folder dialog into Chinese.
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
include(CPack)
