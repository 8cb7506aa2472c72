# Sourced by scripts/test.sh: runs its stages one after another, timing each, and
# ends with what was tested.
#
#   stage NAME COMMAND [ARGUMENTS...]   runs COMMAND; a failure ends the run
#   windows_tested+=("BUILD ...")       a Windows build whose tests ran and passed
#   windows_not_tested+=("... why")     one line for a build whose tests did not run
#   finish_stages                       the stage times, then the summary; fails when
#                                       no Windows test ran

zentravo_stage_times=()
windows_tested=()
windows_not_tested=()

zentravo_duration() {  # SECONDS -> "4m05s"
  printf '%dm%02ds' $(($1 / 60)) $(($1 % 60))
}

stage() {
  local name=$1 started=$SECONDS status=0
  shift
  echo "test: ==== $name ===="
  "$@" || status=$?
  zentravo_stage_times+=("$name: $(zentravo_duration $((SECONDS - started)))")
  echo "test: ---- $name: $(zentravo_duration $((SECONDS - started)))"
  if [ "$status" -ne 0 ]; then
    echo "test: FAILED at \"$name\" (status $status) after $(zentravo_duration $((SECONDS - started)))" >&2
    exit "$status"
  fi
}

finish_stages() {
  local line
  echo "test: stage times:"
  for line in "${zentravo_stage_times[@]}"; do echo "test:   $line"; done
  echo "test:   all: $(zentravo_duration "$SECONDS")"
  if [ "${#windows_tested[@]}" -eq 0 ]; then
    echo "test: FAILED: no Windows test ran" >&2
    for line in "${windows_not_tested[@]}"; do echo "test: $line" >&2; done
    exit 1
  fi
  local tested
  tested=$(printf '%s; ' "${windows_tested[@]}")
  echo "test: Windows builds tested: ${tested%; }"
  for line in "${windows_not_tested[@]}"; do echo "test: $line"; done
}
