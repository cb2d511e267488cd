#!/usr/bin/env bash
# Writes the seed corpus of the decoder fuzz targets from the simulated meter:
# short runs of each frame kind and fault, one file per run.
#   fuzz/make_corpus.sh path/to/metersim
set -euo pipefail
sim=${1:?usage: make_corpus.sh path/to/metersim}
out=$(cd "$(dirname "$0")" && pwd)/corpus
rm -rf "$out/fuzz_decoder_9600" "$out/fuzz_decoder_legacy"
mkdir -p "$out/fuzz_decoder_9600" "$out/fuzz_decoder_legacy"

n=0
seed() {  # seed TARGET OPTIONS...
  local target=$1
  shift
  n=$((n + 1))
  "$sim" --stdout --seed "$n" "$@" >"$out/$target/$(printf 'seed-%02d' "$n")"
}

for ch in 1 2 3 4 5 6 7 8 9 10; do
  seed fuzz_decoder_9600 --9600 --channels "$ch" --count 3
done
seed fuzz_decoder_9600 --channels 2 --count 1 --no-describe --steady
seed fuzz_decoder_9600 --channels 2 --count 4 --no-describe --types TT
seed fuzz_decoder_9600 --channels 3 --count 4 --names Room,Duct,Outside
seed fuzz_decoder_9600 --channels 4 --count 6 --describe 2
seed fuzz_decoder_9600 --channels 10 --count 4 --types tHdVvPNwis
seed fuzz_decoder_9600 --channels 2 --count 4 --no-describe --underscore-every 1
seed fuzz_decoder_9600 --channels 3 --count 6 --no-describe --error-every 1
seed fuzz_decoder_9600 --channels 2 --count 4 --no-describe --bad-lrc-every 2
seed fuzz_decoder_9600 --channels 2 --count 4 --no-describe --trailer-every 1
seed fuzz_decoder_9600 --channels 2 --count 3 --no-describe --trailer-every 1 --trailer "T@:x;y,z"
seed fuzz_decoder_9600 --channels 3 --count 2 --no-describe --long-every 1
seed fuzz_decoder_9600 --channels 2 --count 8 --change-channels-every 2
seed fuzz_decoder_9600 --channels 10 --count 6 --change-channels-every 3 --alt-channels 1
seed fuzz_decoder_9600 --channels 5 --count 6 --burst-every 1 --burst-size 3 --error-every 2
seed fuzz_decoder_9600 --channels 2 --count 4 --lf --underscore-every 3
seed fuzz_decoder_9600 --channels 6 --types pCSUmT --count 8 --error-every 2 --bad-lrc-every 3 --trailer-every 2

for ch in 1 2; do
  seed fuzz_decoder_legacy --legacy --channels "$ch" --count 3
done
seed fuzz_decoder_legacy --legacy --channels 1 --count 1 --steady
seed fuzz_decoder_legacy --legacy --channels 2 --count 4 --types TH
seed fuzz_decoder_legacy --legacy --channels 2 --count 4 --types tV
seed fuzz_decoder_legacy --legacy --channels 2 --count 4 --types pN
seed fuzz_decoder_legacy --legacy --channels 2 --count 4 --underscore-every 1
seed fuzz_decoder_legacy --legacy --channels 1 --count 3 --underscore-every 2
seed fuzz_decoder_legacy --legacy --channels 2 --count 2 --long-every 1
seed fuzz_decoder_legacy --legacy --channels 1 --count 8 --change-channels-every 2
seed fuzz_decoder_legacy --legacy --channels 2 --count 8 --change-channels-every 3
seed fuzz_decoder_legacy --legacy --channels 2 --count 6 --burst-every 1
seed fuzz_decoder_legacy --legacy --channels 2 --count 4 --lf

# Cases the simulator does not make: the edge cases of the frame rules.
printf 'T:3.5C\r' >"$out/fuzz_decoder_legacy/edge-colon-at-1"
printf 'T23.5C H45.2%%\r' >"$out/fuzz_decoder_legacy/edge-blank"
printf 'T_\r' >"$out/fuzz_decoder_legacy/edge-underscore"
printf 'T23.5C:H45.2%%\rT23.5C\r' >"$out/fuzz_decoder_legacy/edge-two-to-one"
printf 'T0023.5C:H045.2%%RH@X6F\r' >"$out/fuzz_decoder_9600/edge-trailer"
printf '$Room:Duct75\r' >"$out/fuzz_decoder_9600/edge-description"
printf 'E02:H045.2%%RH1F\r' >"$out/fuzz_decoder_9600/edge-error"
echo "$(ls "$out/fuzz_decoder_9600" | wc -l) + $(ls "$out/fuzz_decoder_legacy" | wc -l) seeds in $out"
