#!/bin/sh
# Usage: check_exports.sh <library> <header>
# Fails unless the library's dynamic symbols are exactly the header's functions
# and the library needs nothing beyond libc.
set -eu
lib=$1
header=$2
declared=$(sed -n 's/^TALVO_MIFARE_API[^(]*[ *]\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' "$header" | sort)
exported=$(nm -D --defined-only "$lib" | awk '{print $NF}' | grep -v '^TALVO_MIFARE' | sort)
if [ "$declared" != "$exported" ]; then
    echo "exports differ from the header:"
    printf 'declared:\n%s\nexported:\n%s\n' "$declared" "$exported"
    exit 1
fi
needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v -E '^(libc\.so\.6|ld-linux.*|libasan\.so.*|libubsan\.so.*|libtsan\.so.*)$' || true)
if [ -n "$needed" ]; then
    echo "unexpected libraries needed: $needed"
    exit 1
fi
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libTalvoMifare.so.1" ] || { echo "soname is '$soname'"; exit 1; }
echo "$(echo "$declared" | wc -l) exports match the header"
