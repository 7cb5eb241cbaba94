#!/usr/bin/env bash
# Screening, the Langevin gas and minimisation through the whole program: a run records its
# options beside its data set (a plain run records nothing), a continued run keeps them, the
# LAMMPS hand-off carries them; `minimise` writes a state at rest that replays, analyses and
# continues, and refuses bad input with status 2.
# Usage: model.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"
root=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../..")
export QUORVEX_HEADLESS=1
cd "$work"
run=(timeout -k 5 120 "$program")
small=(--set particles=60 --set dead_particles=2 --set frames=200 --set write_every=10)

"${run[@]}" render "$root/examples/default.toml" "${small[@]}" --set name=plain >/dev/null ||
    fail "plain render"
[ -e plainModel.toml ] && fail "a plain run wrote a record"
grep -q "screening\|langevin" plainConfig.toml && fail "a plain run's configuration names the options"

"${run[@]}" render "$root/examples/default.toml" "${small[@]}" --set name=yuk \
    --set screening.kappa=2 --set langevin.friction=5 --set langevin.gas_temperature=250 \
    >/dev/null || fail "screened render"
# The screening length is a / kappa, a being the interparticle distance (six digits in the header).
a=$(head -1 yuk | cut -d' ' -f8)
length=$(sed -n 's/^length = //p' yukModel.toml)
awk -v a="$a" -v l="$length" 'BEGIN { exit !(l > 0 && (a / 2 - l) ^ 2 < 1e-10 * l * l) }' ||
    fail "record length $length is not a/2 of $a"
grep -q '^friction = 5.0$' yukModel.toml || fail "record friction: $(cat yukModel.toml)"
grep -q '^gas_temperature = 250.0$' yukModel.toml || fail "record gas temperature"

printf 'from = "yukMasterFile"\nname = "more"\nframes = 20\nwrite_every = 10\n' >more.toml
"${run[@]}" continue more.toml >/dev/null || fail "continue"
cmp -s yukModel.toml moreModel.toml || fail "the continued run did not keep its options"

"${run[@]}" export yukMasterFile --format lammps -o cluster >/dev/null || fail "export"
grep -q "^pair_style coul/debye " cluster/yukMasterFile.in || fail "no coul/debye in the script"
# A neighbour skin of a tenth of the cutoff: a wide one would make LAMMPS list far too many pairs.
awk '$1 == "pair_style" { cut = $4 } $1 == "neighbor" { skin = $2 }
    END { exit !(skin > 0.09 * cut && skin < 0.11 * cut) }' cluster/yukMasterFile.in ||
    fail "the neighbour skin is not a tenth of the cutoff"
grep -q "^fix gas all langevin " cluster/yukMasterFile.in || fail "no fix langevin in the script"

# Minimised: the forces vanish, so a step from rest barely moves anything; it replays,
# analyses and continues.
out=$("${run[@]}" minimise yuk --frame 10 -o relaxed) || fail "minimise: $out"
echo "$out" | grep -q "^relaxed: stored frame 10 of yuk minimised: energy per grain " ||
    fail "minimise line: $out"
[ "$(head -1 relaxed | cut -d' ' -f2,6)" = "2 1" ] || fail "relaxed header: $(head -1 relaxed)"
cmp -s yukModel.toml relaxedModel.toml || fail "the minimised run lost its options"
"${run[@]}" analyse relaxed --shells 30 >/dev/null || fail "analyse the minimum"
printf 'from = "relaxedMasterFile"\nname = "onward"\nframes = 10\nwrite_every = 10\n' >on.toml
"${run[@]}" continue on.toml >/dev/null || fail "continue from the minimum"

out=$("${run[@]}" minimise plain --search 2 --anneal-steps 50 -o ground) || fail "search: $out"
[ "$(echo "$out" | grep -c ': try [12] (seed [12]): energy per grain')" = 2 ] ||
    fail "search lines: $out"
echo "$out" | grep -q "^ground: the lowest is try [12]$" || fail "no best try: $out"

for bad in "plain --frame 99 -o x" "missing -o x" "plain --tolerance -1 -o x"; do
    # shellcheck disable=SC2086
    "${run[@]}" minimise $bad >/dev/null 2>err.txt
    status=$?
    [ "$status" = 2 ] || fail "minimise $bad: status $status"
    [ -e x ] && fail "minimise $bad wrote a data set"
done

finish "screening, gas and minimisation: records, continuation, hand-off and minimum all hold"
