#!/usr/bin/env bash
# Builds the introduction's picture generator and writes its pictures into the resources folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -fPIC "$here/introduction/main.cpp" -o "$work/make-introduction-pictures" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/make-introduction-pictures" "$here/../introduction"
