#!/usr/bin/env bash
# Soak: N live dictations in a row through the PulseAudio virtual microphone
# while read speech plays into it, with a refusing sound server and damaged
# models among them. bench/soak.py says what each run must do and documents
# the environment: ZENTROVA_DICTATE, SOAK_DAMAGED_TOOL, SOAK_RIG_DIR,
# SOAK_SEED, SOAK_MARGIN.
#
#   scripts/soak.sh [N]            N defaults to 300
set -euo pipefail

exec python3 -B "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/bench/soak.py" "$@"
