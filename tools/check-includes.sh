#!/bin/sh
# The build gives each layer only the include roots it may use; a relative include ("../sim/...") would
# walk around that, so sources name every header from its layer down.
set -eu
cd "$(dirname "$0")/.."
if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][.][.]?/' src; then
    echo "includes above: name headers as \"layer/...\", not by a relative path" >&2
    exit 1
fi
