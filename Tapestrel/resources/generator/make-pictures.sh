#!/usr/bin/env bash
# Builds the picture generator and writes the shipped desktop pictures into the resources folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -fPIC "$here/main.cpp" -o "$work/make-pictures" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/make-pictures" "$here/.."
