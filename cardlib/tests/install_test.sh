#!/bin/sh
# Usage: install_test.sh <build dir> <C compiler> <client source> [extra compiler flags...]
# Installs the card library into a temporary prefix, then compiles, links and
# runs a C program against it with the flags pkg-config gives.
set -eu
build=$1
compiler=$2
source=$3
shift 3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component TalvoMifare > /dev/null
pc=$(find "$prefix" -name TalvoMifare.pc)
[ -n "$pc" ] || { echo "no TalvoMifare.pc installed"; exit 1; }
export PKG_CONFIG_PATH="$(dirname "$pc")"
libdir=$(pkg-config --variable=libdir TalvoMifare)
includedir=$(pkg-config --variable=includedir TalvoMifare)
[ -f "$includedir/talvo_mifare.h" ] || { echo "header missing in $includedir"; exit 1; }
[ -L "$libdir/libTalvoMifare.so.1" ] || { echo "soname link missing in $libdir"; exit 1; }
[ -L "$libdir/libTalvoMifare.so" ] || { echo "development link missing in $libdir"; exit 1; }
# shellcheck disable=SC2046
"$compiler" -std=c99 -Wall -Wextra -Werror -pedantic "$@" -o "$prefix/client" "$source" \
    $(pkg-config --cflags --libs TalvoMifare)
LD_LIBRARY_PATH="$libdir" "$prefix/client"
