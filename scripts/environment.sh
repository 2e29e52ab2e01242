# Sourced by the scripts: the environment they need, whatever the caller's. A UTF-8 locale
# that every Debian has (Wine can't name files outside ASCII without one), and the system
# folders on PATH (apt and dpkg need sbin, which a minimal environment leaves out).
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset LANGUAGE
export PATH="/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin${PATH:+:$PATH}"
# Qt wants a private runtime folder; without one it warns on every start.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="/tmp/runtime-$(id -u)"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi
