# The Debian package: `cpack -G DEB` in the build folder writes norvane_VERSION-1_ARCH.deb with
# the program (stripped), its desktop entry, icons, AppStream data and manual page, and the
# copyright file and changelog that every Debian package carries. The dependencies are what
# dpkg-shlibdeps finds the program linked against; the architecture is dpkg's.
if(NOT NORVANE_BUILD_GUI OR NOT UNIX OR APPLE OR CMAKE_CROSSCOMPILING)
  return()
endif()
include(${PROJECT_SOURCE_DIR}/cmake/version_record.cmake)
norvane_read_version_record()

set(NORVANE_PACKAGE_MAINTAINER "${NORVANE_RECORD_COMPANY_NAME} <packages@norvane.invalid>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${NORVANE_RECORD_COMPANY_NAME}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "give every line of a text file a Windows line ending")
set(CPACK_PACKAGE_DESCRIPTION [[
Norvane repairs text files whose lines end in a bare line feed (LF), as
Unix-like systems write them, so that every line ends in a carriage return
and line feed (CR LF), as Windows programs expect. Open the file, press Fix
File and save it; or run norvane --fix FILE... without a window.
.
Every LF becomes CR LF, also one that already follows a CR: do not use it
on files that already end their lines in CR LF.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${NORVANE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What only the package carries, not a plain install: in /usr/share/doc/norvane the copyright
# notice and the changelog, compressed as Debian wants (-n keeps the time out of the file), and
# lintian's overrides.
set(package_root ${PROJECT_BINARY_DIR}/debian/root)
set(package_doc ${package_root}/usr/share/doc/norvane)
execute_process(COMMAND date -u -R -d "${NORVANE_RELEASE_DATE} 12:00" OUTPUT_VARIABLE NORVANE_CHANGELOG_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${package_doc}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nc INPUT_FILE ${PROJECT_BINARY_DIR}/debian/changelog.Debian
                OUTPUT_FILE ${package_doc}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
               ${package_root}/usr/share/lintian/overrides/norvane COPYONLY)
set(CPACK_INSTALLED_DIRECTORIES "${package_root};.")

include(CPack)
