#!/usr/bin/env bash
# The cluster round trip and the trajectory files: a render's final state, exported for LAMMPS,
# runs 200 constant-energy steps on two MPI ranks with its energy kept to 1e-4; the dump comes
# back as a data set that the analyses read and that exports its positions again; extended XYZ
# reads back in ASE with the data set's numbers; a broken dump keeps its complete frames.
# Usage: exchange.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"
root=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../..")
export QUORVEX_HEADLESS=1
cd "$work"
run=(timeout -k 5 60 "$program")
# Debian's Python, which has ASE.
python=/usr/bin/python3

"${run[@]}" render "$root/examples/default.toml" --set particles=200 --set frames=2000 \
    >/dev/null || fail "render"

# LAMMPS on two ranks, wall off: the total energy of every thermo row against the first.
"${run[@]}" export runAMasterFile --format lammps -o cluster >/dev/null || fail "export lammps"
(cd cluster && timeout 120 mpirun --allow-run-as-root --oversubscribe -np 2 lmp \
    -in runAMasterFile.in -var steps 200 -var every 50 -var wall 0 -log log -screen none) ||
    fail "lmp on two ranks"
awk '/^Step/ { rows = 1; next } /^Loop/ { rows = 0 }
     rows && NF == 7 { if (!n++) e0 = $7; d = ($7 - e0) / e0; if (d < 0) d = -d; if (d > worst) worst = d }
     END { print "energy drift over 200 steps: " worst; exit !(n >= 5 && worst < 1e-4) }' \
    cluster/log || fail "LAMMPS energy not kept to 1e-4"

# Back: five frames (the first and every 50th step), analysed, exported again.
"${run[@]}" import cluster/runAMasterFile.dump --format lammps-dump --like runAMasterFile \
    -o back >/dev/null || fail "import"
[ "$(head -1 back | cut -d' ' -f2,6)" = "5 50" ] || fail "imported header: $(head -1 back)"
[ -s backMasterFile ] || fail "no master file from a dump with velocities"
"${run[@]}" analyse back >/dev/null || fail "analyse"
for file in "backPCF Data.xls:160" "backShellStructure.xls:156" "backEFieldStruct.xls:156"; do
    [ "$(wc -l <"${file%:*}")" = "${file##*:}" ] || fail "${file%:*}: not ${file##*:} lines"
done
"${run[@]}" export back --format lammps -o again >/dev/null || fail "export the import"
# Dumps as often as the data set stored frames; a master file stores every step: every 4th.
grep -qx "variable every index 50" again/back.in &&
    grep -qx "variable every index 4" cluster/runAMasterFile.in || fail "the default dump interval"

# Stored frame 5 is frame 100, which the render analysed itself (every 20 frames, 32 lines a
# block) after its wall pass: the stored frame's pair correlation is the render's to 2 %.
"${run[@]}" analyse runA --frames 5 --pcf 30 >/dev/null || fail "analyse a stored frame"

"${run[@]}" export runA --format extxyz --frames 1:80:10 -o runA.xyz >/dev/null ||
    fail "export extxyz"
"${run[@]}" export runAMasterFile --format extxyz -o master.xyz >/dev/null ||
    fail "export master extxyz"

$python - <<'EOF' || fail "ASE and the round trip"
import ase.io

def data_set(name):
    lines = open(name).read().split("\n")
    slots = int(lines[0].split()[0])
    return lines[0].split(), slots, lines[1 + slots:]

rows = [l.split("\t") for l in open("runAPCF Data.xls").read().split("\n")]
own, stored = rows[161:192], rows[-32:-1]
assert all(abs(float(a[0]) / float(b[0]) - 1) < 1e-5 and a[1] == b[1] for a, b in zip(own, stored))
assert sum(abs(float(a[2]) - float(b[2])) for a, b in zip(own, stored)) < \
    0.02 * sum(float(a[2]) for a in own)
# Frames 25 steps apart give no velocities, hence no coupling: 0, as in a replay.
peaks = rows[-33]
assert peaks[peaks.index("CCPLE:") + 1] == "0", peaks

# Every position of every exported frame as the data set stores it.
header, slots, stored = data_set("runA")
frames = ase.io.read("runA.xyz", index=":")
assert len(frames) == 8, len(frames)
for q, atoms in zip(range(1, 81, 10), frames):
    block = [l.split() for l in stored[(q - 1) * slots:q * slots]]
    assert atoms.info["frame"] == int(block[0][0])
    assert (atoms.positions == [[float(v) for v in f[2:5]] for f in block]).all()
    assert list(atoms.arrays["role"]).count("grain") == 200
    assert not atoms.pbc.any()

# A master file's second frame is one step after the first: velocities and Gamma.
header, slots, stored = data_set("runAMasterFile")
first, last = ase.io.read("master.xyz", index=":")
assert "velo" not in first.arrays and "Gamma" in last.info
step = float(header[3])
assert abs(last.arrays["velo"] - (last.positions - first.positions) / step).max() <= \
    1e-12 * abs(last.arrays["velo"]).max()

# The dump's last positions, through the imported data set, in the data file again.
dump = open("cluster/runAMasterFile.dump").read().split("ITEM: TIMESTEP")[-1].split("\n")
start = dump.index(next(l for l in dump if l.startswith("ITEM: ATOMS"))) + 1
ran = {f[0]: [float(v) for v in f[2:5]] for f in (l.split() for l in dump[start:] if l)}
data = open("again/back.data").read().split("Atoms  # charge\n\n")[1].split("\n\n")[0]
for f in (l.split() for l in data.split("\n")):
    for a, b in zip([float(v) for v in f[3:6]], ran[f[0]]):
        assert abs(a - b) <= 5e-6 * abs(b) + 1e-9, (f[0], a, b)
EOF

# A dump cut off inside its third frame: the two frames before it are kept, and status 1.
head -n 600 cluster/runAMasterFile.dump >cut.dump
"${run[@]}" import cut.dump --format lammps-dump --like runAMasterFile -o part >/dev/null \
    2>cut.err
[ $? = 1 ] || fail "a cut dump: not status 1"
grep -q "cut.dump, line 600: the last frame (timestep 100, from line 419) is cut short after 173" \
    cut.err ||
    fail "cut dump message: $(cat cut.err)"
[ "$(head -1 part | cut -d' ' -f2)" = 2 ] || fail "cut dump: not 2 frames kept"
# A dump of another run's atom count: refused, nothing written.
"${run[@]}" render "$root/examples/default.toml" --set particles=150 --set frames=100 \
    --set name=small >/dev/null || fail "small render"
"${run[@]}" import cut.dump --format lammps-dump --like small -o none >/dev/null 2>other.err
[ $? = 2 ] && [ ! -e none ] || fail "another atom count: not refused with status 2"
grep -q "line 4: the frame holds 200 atoms where the data set has 150" other.err ||
    fail "atom count message: $(cat other.err)"

finish "exchange: LAMMPS round trip, ASE and broken dumps checked"
