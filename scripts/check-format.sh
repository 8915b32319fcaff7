#!/bin/bash
# Checks that every tracked C and C++ source is formatted as the repository's .clang-format says,
# with Debian's clang-format. Exit status: 0 all formatted, 1 some file is not (clang-format names
# each place), 2 clang-format or git missing. Changes no file.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2
for tool in git clang-format; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "check-format: $tool not found (apt-get install $tool)" >&2
    exit 2
  fi
done
# NUL-separated so a file name with spaces stays one argument.
git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
  xargs -0 -r clang-format --style=file --dry-run -Werror
status=$?
if [ "$status" -ne 0 ]; then
  echo "check-format: sources not formatted; run clang-format -i on the files named above" >&2
  exit 1
fi
echo "check-format: all sources formatted"
