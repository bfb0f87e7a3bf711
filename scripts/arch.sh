#!/bin/sh
# Prints the Windows architecture whose programs Wine runs here: i686 where the kernel runs 32-bit
# x86 processes (Wine's 32-bit loader is one), else x86_64 (a kernel with ia32_emulation=off).
if [ -n "${HALVORAN_ARCH:-}" ]; then
    echo "$HALVORAN_ARCH"
elif [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo i686
else
    echo x86_64
fi
