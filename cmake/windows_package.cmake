# The Windows releases, made with the program:
#   Norvane-VERSION-win64/                the program gathered into a folder that runs as it is
#   Norvane-VERSION-win64.zip             that folder, for users who run it without installing
#   Norvane-VERSION-win64-setup.exe       an installer into Program Files (NSIS, Debian's nsis)
# With a static Qt (scripts/build_qt_windows.sh) Norvane.exe carries Qt, its plugins and the
# C++ run-time and imports only system DLLs, so the folder holds the program and the licence
# texts it owes:
#   COPYING.txt                 Norvane's licence, the GNU GPL version 3
#   THIRD-PARTY-NOTICES.txt     Qt and the third-party code linked with it, with their
#                               licences, as scripts/build_qt_windows.sh gathered them
#   LICENSES/*.txt              Qt's licence texts, from the same place
set(NORVANE_RELEASE_NAME Norvane-${PROJECT_VERSION}-win64)
set(NORVANE_RELEASE_FOLDER ${PROJECT_BINARY_DIR}/${NORVANE_RELEASE_NAME})
set(NORVANE_RELEASE_ZIP ${PROJECT_BINARY_DIR}/${NORVANE_RELEASE_NAME}.zip)
set(NORVANE_RELEASE_INSTALLER ${PROJECT_BINARY_DIR}/${NORVANE_RELEASE_NAME}-setup.exe)

find_program(NORVANE_STRIP NAMES ${CMAKE_STRIP} x86_64-w64-mingw32-strip REQUIRED)
if(QT6_IS_SHARED_LIBS_BUILD)
  message(FATAL_ERROR "the Windows releases are made with a static Qt (scripts/build_qt_windows.sh)")
endif()

set(NORVANE_QT_NOTICES ${NORVANE_WINDOWS_QT}/notices)
if(NOT EXISTS ${NORVANE_QT_NOTICES}/THIRD-PARTY-NOTICES.txt)
  message(FATAL_ERROR "The Qt for Windows in '${NORVANE_WINDOWS_QT}' has no licence notices "
    "(${NORVANE_QT_NOTICES}/THIRD-PARTY-NOTICES.txt), which the releases must carry. "
    "scripts/build_qt_windows.sh gathers them from Qt's source, without building Qt again.")
endif()
file(GLOB qt_licence_texts RELATIVE ${NORVANE_QT_NOTICES}/LICENSES CONFIGURE_DEPENDS ${NORVANE_QT_NOTICES}/LICENSES/*.txt)
list(SORT qt_licence_texts)

# The release's files beside the program, each as (file in the release, its source); the
# installer installs and its uninstaller removes exactly these.
set(release_texts
  "COPYING.txt|${PROJECT_SOURCE_DIR}/COPYING"
  "THIRD-PARTY-NOTICES.txt|${NORVANE_QT_NOTICES}/THIRD-PARTY-NOTICES.txt")
foreach(text IN LISTS qt_licence_texts)
  list(APPEND release_texts "LICENSES/${text}|${NORVANE_QT_NOTICES}/LICENSES/${text}")
endforeach()
set(copy_texts)
set(text_sources)
set(install_texts)
set(uninstall_texts)
foreach(entry IN LISTS release_texts)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 source)
  list(APPEND copy_texts COMMAND ${CMAKE_COMMAND} -E copy ${source} ${NORVANE_RELEASE_FOLDER}/${name})
  list(APPEND text_sources ${source})
  get_filename_component(folder "${name}" DIRECTORY)
  string(REPLACE "/" "\\" windows_name "${name}")
  if(folder)
    string(REPLACE "/" "\\" folder "\\${folder}")
  endif()
  string(APPEND install_texts "  SetOutPath \"$INSTDIR${folder}\"\n  File \"${NORVANE_RELEASE_FOLDER}/${name}\"\n")
  string(APPEND uninstall_texts "  Delete \"$INSTDIR\\${windows_name}\"\n")
endforeach()
string(APPEND uninstall_texts "  RMDir \"$INSTDIR\\LICENSES\"\n")
set(release_texts_script ${PROJECT_BINARY_DIR}/windows_release_texts.nsh)
file(CONFIGURE OUTPUT ${release_texts_script} @ONLY CONTENT
  "; The licence texts of ${NORVANE_RELEASE_NAME}, made by cmake/windows_package.cmake.\n!macro INSTALL_TEXTS\n${install_texts}  SetOutPath \"$INSTDIR\"\n!macroend\n!macro UNINSTALL_TEXTS\n${uninstall_texts}!macroend\n")

# The gathered program, stripped of its symbols, and the licence texts.
add_custom_command(OUTPUT ${NORVANE_RELEASE_FOLDER}/Norvane.exe
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${NORVANE_RELEASE_FOLDER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${NORVANE_RELEASE_FOLDER}/LICENSES
  ${copy_texts}
  COMMAND ${NORVANE_STRIP} -o ${NORVANE_RELEASE_FOLDER}/Norvane.exe $<TARGET_FILE:norvane>
  DEPENDS norvane ${text_sources}
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
    -DLICENCE=${NORVANE_RELEASE_FOLDER}/COPYING.txt
    -DTEXTS=${release_texts_script}
    -DRECORD=${NORVANE_GENERATED_DIR}/norvane/version_record.h
    -DICON=${PROJECT_SOURCE_DIR}/src/app/resources/norvane.ico
    -DVERSION=${PROJECT_VERSION}
    -DOUTPUT=${NORVANE_RELEASE_INSTALLER}
    ${installer_script}
  DEPENDS ${NORVANE_RELEASE_FOLDER}/Norvane.exe ${installer_script} ${release_texts_script}
    ${NORVANE_GENERATED_DIR}/norvane/version_record.h
  COMMENT "Making the installer ${NORVANE_RELEASE_NAME}-setup.exe")
add_custom_target(windows_releases ALL DEPENDS ${NORVANE_RELEASE_ZIP} ${NORVANE_RELEASE_INSTALLER})
