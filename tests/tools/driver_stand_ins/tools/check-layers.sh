#!/usr/bin/env bash
set -euo pipefail
# shellcheck source=tests/tools/driver_stand_ins/stand_in.sh
. "$(dirname "$0")/../stand_in.sh"
! fails layers
