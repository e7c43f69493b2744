# Sourced by ./run.sh and ./test.sh: installs package sets that the next steps
# do not need while those steps run (scripts/deps.sh in the background).
#   install_meanwhile LOG SET...  starts the install when a set lacks packages,
#                                 asking for a sudo password now if one is
#                                 needed; apt's output goes to LOG
#   installing                    whether that install is still to wait for
#   installed_meanwhile           waits for it; on failure shows LOG and fails

install_meanwhile() {
  install_log=$1
  shift
  install_pid=
  [ -n "$(./scripts/deps.sh --missing "$@")" ] || return 0
  ./scripts/deps.sh --authorise "$@"
  mkdir -p "$(dirname "$install_log")"
  install_log=$(cd "$(dirname "$install_log")" && pwd)/$(basename "$install_log")
  ./scripts/deps.sh "$@" >"$install_log" 2>&1 &
  install_pid=$!
}

installing() { [ -n "${install_pid:-}" ]; }

installed_meanwhile() {
  installing || return 0
  local rc=0
  wait "$install_pid" || rc=$?
  install_pid=
  if [ "$rc" -ne 0 ]; then
    cat "$install_log" >&2
    echo "error: installing packages failed (output above, also in $install_log)" >&2
    return "$rc"
  fi
  echo "$(head -n 1 "$install_log") (in the background; apt's output is in $install_log)"
}
