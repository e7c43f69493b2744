# Sourced by ./run.sh and ./test.sh: installs package sets that the build does
# not need while the build runs (scripts/deps.sh in the background).
#   install_meanwhile LOG SET...   asks for a sudo password now if one is needed
#                                  and starts the install, its output to LOG
#   installed_meanwhile            waits for it; on failure shows LOG and fails

install_meanwhile() {
  install_log=$1
  shift
  ./scripts/deps.sh --authorise "$@"
  mkdir -p "$(dirname "$install_log")"
  ./scripts/deps.sh "$@" >"$install_log" 2>&1 &
  install_pid=$!
}

installed_meanwhile() {
  [ -n "${install_pid:-}" ] || return 0
  local rc=0
  wait "$install_pid" || rc=$?
  install_pid=
  if [ "$rc" -ne 0 ]; then
    cat "$install_log" >&2
    echo "error: installing packages failed (output above, also in $install_log)" >&2
    return "$rc"
  fi
  if [ -s "$install_log" ]; then
    echo "$(head -n 1 "$install_log") (during the build; apt's output is in $install_log)"
  fi
}
