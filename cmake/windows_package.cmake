# The Windows releases, made with the program:
#   Norvane-VERSION-win64/                the program gathered into a folder that runs as it is
#   Norvane-VERSION-win64.zip             that folder, for users who run it without installing
#   Norvane-VERSION-win64-setup.exe       an installer into Program Files (NSIS, Debian's nsis)
# With a static Qt (scripts/build_qt_windows.sh) Norvane.exe carries Qt, its plugins and the
# C++ run-time and imports only system DLLs, so the folder holds the program alone; with a
# shared Qt the Qt DLLs and plugins the program loads are gathered beside it.
set(NORVANE_RELEASE_NAME Norvane-${PROJECT_VERSION}-win64)
set(NORVANE_RELEASE_FOLDER ${PROJECT_BINARY_DIR}/${NORVANE_RELEASE_NAME})
set(NORVANE_RELEASE_ZIP ${PROJECT_BINARY_DIR}/${NORVANE_RELEASE_NAME}.zip)
set(NORVANE_RELEASE_INSTALLER ${PROJECT_BINARY_DIR}/${NORVANE_RELEASE_NAME}-setup.exe)

find_program(NORVANE_STRIP NAMES ${CMAKE_STRIP} x86_64-w64-mingw32-strip REQUIRED)
if(QT6_IS_SHARED_LIBS_BUILD)
  message(FATAL_ERROR "the Windows releases are made with a static Qt (scripts/build_qt_windows.sh)")
endif()

# The gathered program, stripped of its symbols.
add_custom_command(OUTPUT ${NORVANE_RELEASE_FOLDER}/Norvane.exe
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${NORVANE_RELEASE_FOLDER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${NORVANE_RELEASE_FOLDER}
  COMMAND ${NORVANE_STRIP} -o ${NORVANE_RELEASE_FOLDER}/Norvane.exe $<TARGET_FILE:norvane>
  DEPENDS norvane
  COMMENT "Gathering ${NORVANE_RELEASE_NAME}/")

add_custom_command(OUTPUT ${NORVANE_RELEASE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${NORVANE_RELEASE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${NORVANE_RELEASE_ZIP} --format=zip ${NORVANE_RELEASE_NAME}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  DEPENDS ${NORVANE_RELEASE_FOLDER}/Norvane.exe
  COMMENT "Zipping ${NORVANE_RELEASE_NAME}.zip")

find_program(NORVANE_MAKENSIS makensis REQUIRED)  # Debian package nsis
set(installer_script ${CMAKE_CURRENT_LIST_DIR}/windows_installer.nsi)
add_custom_command(OUTPUT ${NORVANE_RELEASE_INSTALLER}
  COMMAND ${NORVANE_MAKENSIS} -V2 -NOCD
    -DPROGRAM=${NORVANE_RELEASE_FOLDER}/Norvane.exe
    -DRECORD=${NORVANE_GENERATED_DIR}/norvane/version_record.h
    -DICON=${PROJECT_SOURCE_DIR}/src/app/resources/norvane.ico
    -DVERSION=${PROJECT_VERSION}
    -DOUTPUT=${NORVANE_RELEASE_INSTALLER}
    ${installer_script}
  DEPENDS ${NORVANE_RELEASE_FOLDER}/Norvane.exe ${installer_script}
    ${NORVANE_GENERATED_DIR}/norvane/version_record.h
  COMMENT "Making the installer ${NORVANE_RELEASE_NAME}-setup.exe")
add_custom_target(windows_releases ALL DEPENDS ${NORVANE_RELEASE_ZIP} ${NORVANE_RELEASE_INSTALLER})
