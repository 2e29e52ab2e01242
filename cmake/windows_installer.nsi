; The Windows installer: shows Norvane's licence, puts Norvane.exe and the licence texts
; into Program Files for all users, with a Start-menu entry and an uninstaller that Windows
; lists among the installed programs. Uninstalling removes all of it. Built by
; cmake/windows_package.cmake, which runs
;   makensis -DPROGRAM=...\Norvane.exe -DLICENCE=...\COPYING.txt
;            -DTEXTS=...\windows_release_texts.nsh -DRECORD=...\version_record.h
;            -DICON=...\norvane.ico -DVERSION=2.1.0 -DOUTPUT=...\Norvane-2.1.0-win64-setup.exe
;            windows_installer.nsi
; TEXTS defines the macros INSTALL_TEXTS and UNINSTALL_TEXTS, which install and remove the
; licence texts of the release folder.
; "/S" installs and uninstalls without asking.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

; The company and copyright as the program's version record gives them.
!searchparse /file "${RECORD}" '#define NORVANE_RECORD_COMPANY_NAME "' COMPANY '"'
!searchparse /file "${RECORD}" '#define NORVANE_RECORD_LEGAL_COPYRIGHT "' COPYRIGHT '"'
; "setup" in the file's name is what users look for; Windows recognises the installer by it
; too, which is what makensis warns of.
!pragma warning disable 9000

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvane"

Name "Norvane ${VERSION}"
; The line at the foot of every page names the program instead of NSIS.
BrandingText "Norvane ${VERSION}"
OutFile "${OUTPUT}"
InstallDir "$PROGRAMFILES64\Norvane"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Norvane"
VIAddVersionKey /LANG=1033 "FileDescription" "Norvane ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

!include "MUI2.nsh"
!include "${TEXTS}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Norvane.exe"
!define MUI_WELCOMEPAGE_TEXT "This installs Norvane ${VERSION}, which repairs text files whose lines end in a bare LF so that every line ends in CR LF.$\r$\n$\r$\nNorvane is free software under the GNU General Public License, version 3 or later.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
; The GPL grants rights and asks nothing of who runs the program: the page informs, and
; goes on with Next instead of asking the user to agree.
!define MUI_PAGE_HEADER_TEXT "Licence"
!define MUI_PAGE_HEADER_SUBTEXT "Norvane ${VERSION} is free software under the GNU General Public License."
!define MUI_LICENSEPAGE_TEXT_TOP "Press Page Down to see the rest of the licence."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "You may use Norvane without accepting this licence; it sets the terms for copying, changing and passing it on."
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Norvane"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${PROGRAM}"
  !insertmacro INSTALL_TEXTS
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Norvane.lnk" "$INSTDIR\Norvane.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Norvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Norvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Norvane.lnk"
  Delete "$INSTDIR\Norvane.exe"
  Delete "$INSTDIR\Uninstall.exe"
  !insertmacro UNINSTALL_TEXTS
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
