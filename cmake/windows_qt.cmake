# Finds the Qt that scripts/build_qt_windows.sh cross-built for Windows. NORVANE_WINDOWS_QT
# names its folder, as `scripts/build_qt_windows.sh --prefix` prints it. The toolchain
# searches packages only below the mingw sysroot, so that folder joins the search roots.
# Qt's build tools (moc, rcc, uic) are this system's own, of the same version.
set(NORVANE_WINDOWS_QT "" CACHE PATH "Qt for Windows, built by scripts/build_qt_windows.sh")
if(NOT EXISTS "${NORVANE_WINDOWS_QT}/lib/cmake/Qt6/Qt6Config.cmake")
  message(FATAL_ERROR "No Qt for Windows in '${NORVANE_WINDOWS_QT}'. Build it with "
    "scripts/build_qt_windows.sh and set NORVANE_WINDOWS_QT to the folder that "
    "`scripts/build_qt_windows.sh --prefix` prints, or configure with -DNORVANE_BUILD_GUI=OFF.")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${NORVANE_WINDOWS_QT})
set(QT_HOST_PATH /usr CACHE PATH "This system's Qt, whose build tools the Windows build runs")
# Where Debian keeps the host Qt's CMake packages.
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake packages")
