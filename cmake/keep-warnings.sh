#!/bin/sh
# Compiler launcher: runs the compile command given as arguments, passes its
# messages on, and keeps any warnings in <object>.warnings beside the object it
# writes (removed again once the object compiles cleanly). The file outlives the
# build that wrote it, so a later build that compiles nothing anew still sees
# every warning of the whole tree.
obj=
prev=
for arg in "$@"; do
  [ "$prev" = -o ] && obj=$arg
  prev=$arg
done
if [ -z "$obj" ]; then
  exec "$@"
fi
messages="$obj.messages.$$"
"$@" 2>"$messages"
rc=$?
cat "$messages" >&2
if grep -q 'warning:' "$messages"; then
  mv -f "$messages" "$obj.warnings"
else
  rm -f "$messages" "$obj.warnings"
fi
exit $rc
