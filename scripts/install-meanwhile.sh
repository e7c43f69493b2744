# Sourced by ./run.sh and ./test.sh: installs package sets that the next steps
# do not need while those steps run (scripts/deps.sh in the background).
#   install_meanwhile LOG STAGE...  installs the stages one after the other, each
#                                   one or more sets joined by commas
#                                   ("test-wayland,test-package") and named by
#                                   its first set; asks for a sudo password now
#                                   if one is needed; apt's output goes to LOG
#   installing                      whether that install is still to wait for
#   installed_meanwhile             waits for it; on failure shows LOG and fails
# Other processes wait for a stage with scripts/wait-for-install.sh LOG NAME: each
# stage holds a lock on LOG.NAME.lock until it has written its exit status to
# LOG.NAME.status.

install_pids=()

install_meanwhile() {
  install_log=$1
  shift
  install_pids=()
  local stages=() stage
  for stage in "$@"; do
    [ -z "$(./scripts/deps.sh --missing ${stage//,/ })" ] || stages+=("$stage")
  done
  [ ${#stages[@]} -gt 0 ] || return 0
  ./scripts/deps.sh --authorise ${stages[*]//,/ }
  mkdir -p "$(dirname "$install_log")"
  install_log=$(cd "$(dirname "$install_log")" && pwd)/$(basename "$install_log")
  rm -f "$install_log" "$install_log".*.lock "$install_log".*.status
  local lock previous=
  for stage in "${stages[@]}"; do
    local name=${stage%%,*}
    # Locked before the stage starts, so that no waiter can come first; only the
    # stage's own shell keeps the lock, not apt or what it starts.
    exec {lock}>"$install_log.$name.lock"
    flock "$lock"
    (
      # apt takes one install at a time: the stage before goes first.
      [ -z "$previous" ] || flock -s "$install_log.$previous.lock" true {lock}>&-
      rc=0
      if [ -z "$previous" ] || [ "$(cat "$install_log.$previous.status")" = 0 ]; then
        ./scripts/deps.sh ${stage//,/ } >>"$install_log" 2>&1 {lock}>&- || rc=$?
      else
        rc=1  # not tried after the stage before failed
      fi
      echo "$rc" >"$install_log.$name.status"
      exit "$rc"
    ) &
    install_pids+=($!)
    exec {lock}>&-
    previous=$name
  done
}

installing() { [ ${#install_pids[@]} -gt 0 ]; }

installed_meanwhile() {
  installing || return 0
  local rc=0 pid
  for pid in "${install_pids[@]}"; do
    wait "$pid" || rc=$?
  done
  install_pids=()
  if [ "$rc" -ne 0 ]; then
    cat "$install_log" >&2
    echo "error: installing packages failed (output above, also in $install_log)" >&2
    return "$rc"
  fi
  echo "$(grep -m1 '^Installing' "$install_log") (in the background; apt's output is in $install_log)"
}
