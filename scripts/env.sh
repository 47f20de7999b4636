# Sourced by the scripts: build settings shared by every command.
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export CCACHE_BASEDIR="$top"
export CCACHE_SLOPPINESS="pch_defines,time_macros,include_file_mtime,include_file_ctime"
export CCACHE_NOHASHDIR=1
jobs="${TAPESTREL_JOBS:-$(nproc)}"
