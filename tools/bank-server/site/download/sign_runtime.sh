#!/bin/sh
# Demo installer of the signing control's runtime: records its version in the registry.
set -eu
: "${NESTORA_WIN:?run by the assistant}"
"$NESTORA_WIN" reg add 'HKLM\SOFTWARE\Qiventa\SignRuntime' /v Version /t REG_SZ /d 1.0.0.0 /f >/dev/null
