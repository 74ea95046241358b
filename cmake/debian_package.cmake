# The Debian package that scripts/package.sh builds with `cpack`: both
# programs in /usr/bin, the desktop entry, the icons, the AppStream data, the
# manual pages, and the copyright file and change log.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmarsh)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The synopsis is the first line of the package's description; CPack
# puts it in front of the long description, which therefore does not repeat
# it, and indents the long description's lines itself.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "deals the files of a folder out at random into share folders")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Quillmarsh copies or moves the files of one folder, in random order, into
numbered share folders: a fixed number of files per share, or a given number
of equal shares. It filters the files by type, never replaces a file that is
already there, and lists the files it could not transfer.

The window (quillmarsh) speaks Simplified Chinese. quillmarsh-batch makes
one run from the command line, and can preview, record and undo a run.")
set(QM_MAINTAINER "Quillmarsh developers <maintainers@quillmarsh.invalid>" CACHE STRING
  "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
if(QM_HOME_PAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QM_HOME_PAGE}")
endif()
# name_version_arch.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link come from dpkg-shlibdeps. Qt loads the
# plugin that connects it to the display at run time, so no link names it;
# without it the window cannot open, so it is a dependency all the same. So
# is a font with Chinese characters: every text of the window is Chinese,
# and without one it shows boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QM_BUILD_QT)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei | fonts-arphic-uming")
endif()
# Started, not linked: xdg-open shows the target folder and the failure
# log; the translation puts the folder dialog into Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
include(CPack)
