# The Windows test programs run under Wine, in a prefix of this build's own that needs no
# display: it is set up before the first of them and its server stopped after the last.
set(NORVANE_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
# No menu entries in the user's home, and no offer to install .NET (Mono) or the HTML engine.
# A UTF-8 locale whatever the caller's: without one Wine can't create files with names
# outside ASCII.
set(NORVANE_WINE_ENVIRONMENT "WINEPREFIX=${NORVANE_WINE_PREFIX}" "WINEDEBUG=-all" "DISPLAY=" "WAYLAND_DISPLAY="
    "LANG=C.UTF-8" "LC_ALL=C.UTF-8"
    "WINEDLLOVERRIDES=winemenubuilder.exe,mscoree,mshtml=")
find_program(NORVANE_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# The server is started to stay until the tests end: one that ends with its last program
# (Debian's default) can be on its way out just as the next program connects, which then
# fails. Wine's own background programs, which stay as long, get no output of ctest's to
# hold open: what they and the set-up say goes to wine-start.log. A prefix is marked as set
# up only once wineboot has finished and made its system DLLs; one without the mark (its
# set-up failed or was cut short) is removed and made again, not reused.
add_test(NAME wine_start
  COMMAND sh -c "ready=\"$WINEPREFIX/.norvane-set-up\"; ({ \"$0\" --kill; \"$0\" --wait; } && { [ -f \"$ready\" ] || rm -rf \"$WINEPREFIX\"; } && mkdir -p \"$WINEPREFIX\" && \"$0\" --persistent && \"$1\" wineboot --init && [ -f \"$WINEPREFIX/drive_c/windows/system32/kernel32.dll\" ] && touch \"$ready\") >\"$2\" 2>&1 </dev/null || { cat \"$2\"; echo \"the Wine prefix $WINEPREFIX could not be set up\"; rm -f \"$ready\"; exit 1; }"
    ${NORVANE_WINESERVER} ${CMAKE_CROSSCOMPILING_EMULATOR} ${PROJECT_BINARY_DIR}/wine-start.log)
# Stopping is done when the server is killed, or when none is left to kill.
add_test(NAME wine_stop COMMAND sh -c "\"$0\" --kill || \"$0\" --wait" ${NORVANE_WINESERVER})
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${NORVANE_WINE_ENVIRONMENT}")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${NORVANE_WINE_ENVIRONMENT}")

# Makes the test `name` run in that prefix.
function(norvane_run_under_wine name)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "${NORVANE_WINE_ENVIRONMENT}"
    TIMEOUT 600)
endfunction()

# Wine takes the ANSI code page from the locale it is started in, and glibc knows only the
# locales that were generated. Those the tests need are made here, in this build's own
# folder (LOCPATH), leaving the system's alone.
find_program(NORVANE_LOCALEDEF localedef REQUIRED)
set(NORVANE_LOCALE_DIR ${PROJECT_BINARY_DIR}/locales)
add_test(NAME wine_locales
  COMMAND sh -c "for locale in ru_RU ja_JP; do [ -d \"$1/$locale.UTF-8\" ] || { mkdir -p \"$1\" && \"$0\" -i $locale -f UTF-8 \"$1/$locale.UTF-8\"; } || exit 1; done"
    ${NORVANE_LOCALEDEF} ${NORVANE_LOCALE_DIR})
set_tests_properties(wine_locales PROPERTIES FIXTURES_SETUP wine_locales)

# Makes the test `name` run in the Wine prefix in `locale`, one of those made above
# (ru_RU.UTF-8: ANSI code page 1251; ja_JP.UTF-8: 932, Shift-JIS).
function(norvane_run_under_wine_in_locale name locale)
  norvane_run_under_wine(${name})
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED "wine;wine_locales"
    ENVIRONMENT "${NORVANE_WINE_ENVIRONMENT};LOCPATH=${NORVANE_LOCALE_DIR};LANG=${locale};LC_ALL=${locale}")
endfunction()
