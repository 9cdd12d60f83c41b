#!/usr/bin/env bash
# The Debian package as a user meets it: builds it from BUILD_DIR (default
# build), looks at its fields and files, installs it with apt-get, and
# transcribes the test data's read speech with the installed
# /usr/bin/zentrova-dictate, away from the build tree. Needs root (CI runs
# it from .ci/run); a package that was not installed before is purged after.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build_dir=${1:-build}
librivox=/usr/share/pocketsphinx/test/data/librivox

fail() {
  echo "install-test: $*" >&2
  exit 1
}

# An older version's package would make the name below ambiguous.
rm -f "${build_dir:?}"/zentrova-dictate_*.deb
cmake --build "$build_dir" --target package >/dev/null
debs=("$build_dir"/zentrova-dictate_*_"$(dpkg --print-architecture)".deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, found: ${debs[*]}"
deb=$(realpath "${debs[0]}")

# Fields: the link needs come from dpkg-shlibdeps, the file needs are named.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libpocketsphinx3 libportaudio2 libsndfile1 libsoxr0 libc6 \
              pocketsphinx-en-us wamerican-small wamerican wamerican-large libasound2-plugins; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = sound ] || fail "section is not sound"
for field in Version Maintainer Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "no $field field"
done

# Files: the tool, its manual page and the copyright file, nothing else.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort | tr '\n' ' ')
expected="./usr/bin/zentrova-dictate ./usr/share/doc/zentrova-dictate/copyright ./usr/share/man/man1/zentrova-dictate.1.gz "
[ "$files" = "$expected" ] || fail "package files: $files"

was_installed=no
dpkg-query -W -f='${Status}' zentrova-dictate 2>/dev/null | grep -q "install ok installed" && was_installed=yes
if [ "$was_installed" = no ]; then
  trap 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq zentrova-dictate >/dev/null' EXIT
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
[ -x /usr/bin/zentrova-dictate ] || fail "/usr/bin/zentrova-dictate is not installed"
mandoc -T lint -W warning /usr/share/man/man1/zentrova-dictate.1.gz || fail "the installed manual page does not lint clean"

# Each recording through the installed tool, from / with a bare environment:
# nothing of the build tree may be needed. The same recording through the
# build tree's tool is the reference: the same code and model, so the same
# text, stripped or not.
outputs=$(mktemp -d)
for wav in "$librivox"/*.wav; do
  name=$(basename "$wav" .wav)
  status=0
  (cd / && env -i PATH=/usr/bin:/bin /usr/bin/zentrova-dictate --file "$wav") \
    >"$outputs/$name.installed" 2>"$outputs/$name.stderr" || status=$?
  [ "$status" -eq 0 ] || fail "$name: exit status $status: $(tail -1 "$outputs/$name.installed")"
  [ ! -s "$outputs/$name.stderr" ] || fail "$name: wrote to standard error"
  "$build_dir/zentrova-dictate" --file "$wav" >"$outputs/$name.built" || fail "$name: the build tree's tool failed"
  cmp -s <(tail -1 "$outputs/$name.installed") <(tail -1 "$outputs/$name.built") ||
    fail "$name: installed '$(tail -1 "$outputs/$name.installed")' but built '$(tail -1 "$outputs/$name.built")'"
done

python3 - "$root/bench" "$outputs" <<'PY'
import json, os, sys
sys.path.insert(0, sys.argv[1])
from wer import transcripts, word_error_rate
refs = transcripts()
pairs = []
for name, ref in sorted(refs.items()):
    with open(os.path.join(sys.argv[2], name + ".installed"), encoding="utf-8") as out:
        last = json.loads(out.read().splitlines()[-1])
    assert last["t"] == "final", f"{name}: last event {last}"
    pairs.append((ref, last["text"]))
    print(f"  {name}: {last['text']}")
rate = word_error_rate(pairs)
print(f"installed zentrova-dictate: word error rate {rate:.3f} over {len(pairs)} librivox recordings")
# The file-mode tests' bound for the same recordings.
sys.exit(0 if rate <= 0.40 else 1)
PY
rm -f "$outputs"/*
rmdir "$outputs"
echo "install-test: the package installs and its tool transcribes"
