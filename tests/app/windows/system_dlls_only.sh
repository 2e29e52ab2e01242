#!/bin/sh
# Checks that a Windows program imports only DLLs that come with Windows itself, so that
# the program runs from its folder with nothing beside it: no Qt, C++ run-time or threads
# DLL of the build machine's.
# Usage: system_dlls_only.sh PROGRAM OBJDUMP
set -eu
program=$1
objdump=$2
imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "no imports read from $program"; exit 1; }
foreign=''
for dll in $imports; do
  case $dll in
    advapi32.dll | authz.dll | comdlg32.dll | d2d1.dll | d3d11.dll | d3d9.dll | dwmapi.dll | dwrite.dll | dxgi.dll | \
      gdi32.dll | imm32.dll | kernel32.dll | msvcrt.dll | netapi32.dll | ole32.dll | oleaut32.dll | \
      setupapi.dll | shcore.dll | shell32.dll | shlwapi.dll | user32.dll | userenv.dll | uxtheme.dll | version.dll | \
      winmm.dll | ws2_32.dll | wtsapi32.dll | api-ms-win-*.dll) ;;
    *) foreign="$foreign $dll" ;;
  esac
done
echo "$(basename "$program") imports:" $imports
[ -z "$foreign" ] || { echo "not part of Windows:$foreign"; exit 1; }
