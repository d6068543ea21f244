#!/usr/bin/env bash
# Every change that a conversion step makes goes through the change set of
# store/changes.h; only there do the steps and the store reach the file
# operations of platform/ (and open only staged files to write). This fails
# on a call that would go round it.
#
#   tools/check-staging.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ops='platform::(Exists|IsFolder|FileSize|IsReadOnly|SetReadOnly|Attributes|FindFiles|CopyFile|MoveFile|ReplaceFile|DeleteFile|CreateFolder|RemoveFolder)\('
bad=$(grep -nE "$ops" steps/*.cpp steps/*.h store/*.cpp store/*.h | grep -v '^store/changes\.' |
      grep -v '^store/open.cpp:.*// the busy probe' || true)
# Streams are opened to write on staged files only.
bad+=$(grep -nE 'Stream::Open\(' steps/*.cpp store/*.cpp | grep -v '^store/changes\.' | grep -v 'path()' || true)
if [ -n "$bad" ]; then
  echo "check-staging: file operations that go round the change set:"
  echo "$bad"
  exit 1
fi
echo "check-staging: every file operation of steps/ and store/ goes through the change set"
