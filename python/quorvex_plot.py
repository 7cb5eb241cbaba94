#!/usr/bin/python3
"""PNG figures from the result files of a Quorvex render.

    /usr/bin/python3 quorvex_plot.py BASENAME OUTDIR

Writes OUTDIR/<base>_<kind>.png for every result file of BASENAME that exists and prints each
path. Exit status: 0 figures made, 1 a file had a broken row (the rows before it are plotted)
or a figure could not be written,
2 no figure could be made (no result file for BASENAME, or only empty ones).
"""
import math
import os
import re
import sys
from dataclasses import dataclass, field

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.colors import ListedColormap, Normalize  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from matplotlib.patches import Patch  # noqa: E402

TE_KELVIN = 23209.0085  # electron temperature (2 eV): Tempratio 1 is this many kelvin

DATA_HEADER = ("Time in Dust Periods\tTempratio\tccple\tTotalKE\tTotalPEduetoprtcles\t"
               "TotalPEduetoplasma\tTotal E\tCCpletarget\tCool")
SHELL_HEADER = ("Time in Dust Periods\tNormalised R\tNumber of Particles\t"
                "Normalised Number of Particles\tUnit Normalised\tUnormalised Mass Distribution\t"
                "Mass Distribution\tNo. Av. Mass Particles\tCCPLE")
FIELD_HEADER = ("Time in Dust Periods\tNormalised R\tOverall Charge\tOverall E-Field\tPotential\t"
                "CCPLE")
TRACKER_START = "Time In Periods\tTempratio\t"
MAP_TAIL = ["Normalisation_Factor", "Particles", "Radius Apar"]

# The "2D" files: name word, PNG suffix, what the map shows.
MAPS = [("ShellStructure", "2D_shells", "shell occupation"),
        ("PCF Data", "2D_pcf", "pair correlation g(r)"),
        ("Potential", "2D_potential", "potential"),
        ("EField", "2D_efield", "electric field")]

# How the Settings lines are shown: a readable name and the unit (the program's normalised units).
SETTINGS_SHOWN = {"Timestep": ("time step", "1/ω_pe"), "Total Charge": ("total charge", "e"),
                  "Number Density": ("number density", ""),
                  "Tempratio": ("T_dust / T_e", ""),
                  "Radius Aparatus": ("apparatus radius", "λ_D"),
                  "Radius of Particle": ("grain radius", "λ_D"), "Particles": ("grains", ""),
                  "CCP": ("target coupling Γ", ""), "Mass of Particles": ("grain mass", "m_e"),
                  "Plasma Freq": ("ω_pe", "rad/s"), "Plasma Period": ("1/ω_pe", "s"),
                  "Normalised Dust Plasma frequency": ("ω_pd / ω_pe", ""),
                  "Interparticle distance": ("grain spacing", "λ_D")}

T_AXIS = "time (dust plasma periods)"
R_AXIS = r"distance from centre $r$ / $R_{apar}$"
ENERGY = r"energy ($k_BT_e$)"
SPEED = r"$\lambda_D\,\omega_{pe}$"
FIGSIZE = (8, 5)
OVERVIEW_SIZE = (12, 9)
RAMP = ListedColormap(plt.get_cmap("viridis")(np.linspace(0.0, 0.85, 256)))  # no pale yellow end


# ----------------------------------------------------------------------------- reading

class Broken(Exception):
    """A row that cannot be read: its 1-based line number and why."""

    def __init__(self, line, reason):
        super().__init__(f"line {line}: {reason}")
        self.line, self.reason = line, reason


@dataclass
class Parsed:
    series: list                # one entry per run found in the file
    error: tuple = None         # (line, reason) of the first broken row, or None
    empty: bool = False         # the file has not a single byte


@dataclass
class PcfBlock:
    time: float
    peaks: list
    ccple: float
    target: float
    rows: object = field(default_factory=list)  # (B, 4): time, r/Rapar, g, g/gmax


@dataclass
class Map:
    radii: object                                # radial columns, units of Rapar
    # time, n values, normaliser, particles, Rapar, target coupling
    rows: object = field(default_factory=list)

    @property
    def times(self):
        return self.rows[:, 0]

    @property
    def values(self):
        return self.rows[:, 1:1 + len(self.radii)]


_NUMBER = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\Z")


def number(text, line, column):
    """A finite number in C's %g form; anything else (nan and inf included) breaks the row."""
    if _NUMBER.match(text):
        value = float(text)
        if math.isfinite(value):
            return value
    shown = text if len(text) <= 20 else text[:17] + "..."
    raise Broken(line, f"field {column} is {shown!r}, not a number")


def _fields(line, no, width=None, trailing_tab=False):
    if line == "":
        raise Broken(no, "empty line")
    parts = line.split("\t")
    if trailing_tab and len(parts) > 1 and parts[-1] == "":
        parts.pop()
    if width is not None and len(parts) != width:
        raise Broken(no, f"{len(parts)} field{'s' if len(parts) != 1 else ''} where {width} belong")
    return parts


def _numbers(line, no, width=None, trailing_tab=False):
    return [number(t, no, k) for k, t in enumerate(_fields(line, no, width, trailing_tab), 1)]


def _each_line(text, handle):
    """Feeds handle(no, line) every line; returns (line, reason) of the first broken one."""
    parts = text.split("\n")
    tail = parts.pop()
    try:
        for no, line in enumerate(parts, 1):
            handle(no, line[:-1] if line.endswith("\r") else line)
        if tail:
            raise Broken(len(parts) + 1, "no end of line: the row was cut short")
    except Broken as b:
        return (b.line, b.reason)
    return None


def _goes_back(run, time):
    return bool(run) and time < run[-1][0]


def parse_table(text, header, width):
    """Files with header lines: a header or a time going back starts a new series."""
    series = []

    def handle(no, line):
        if line == header:
            series.append([])
            return
        row = _numbers(line, no, width)
        if not series or _goes_back(series[-1], row[0]):
            series.append([])
        series[-1].append(row)

    error = _each_line(text, handle)
    return Parsed([np.array(s) for s in series if s], error)


def parse_data(text):
    return parse_table(text, DATA_HEADER, 9)


def parse_shells(text):
    return parse_table(text, SHELL_HEADER, 9)


def parse_field(text):
    return parse_table(text, FIELD_HEADER, 6)


def blocks(rows):
    """Splits one run's rows into analyses: the radius (column 2) restarting begins a new one."""
    starts = [0] + [i for i in range(1, len(rows)) if rows[i, 1] <= rows[i - 1, 1]]
    return [rows[a:b] for a, b in zip(starts, starts[1:] + [len(rows)])]


def parse_settings(text):
    """Blocks of 'label<TAB>value' lines; a label seen again starts the next block."""
    series = []

    def handle(no, line):
        parts = _fields(line, no, 2)
        label = parts[0].strip().rstrip(":")
        if not series or label in series[-1]:
            series.append({})
        series[-1][label] = number(parts[1], no, 2)

    error = _each_line(text, handle)
    return Parsed(series, error)


def _peak_line(parts, no):
    if parts[:5] != ["", "", "", "", "Peaks:"] or "CCPLE:" not in parts:
        raise Broken(no, "not a Peaks line")
    i = parts.index("CCPLE:")
    if len(parts) != i + 3 or not parts[i + 2].startswith("Target:"):
        raise Broken(no, "Peaks line without its CCPLE and Target")
    peaks = [number(t, no, k) for k, t in enumerate(parts[5:i], 6)]
    return peaks, number(parts[i + 1], no, i + 2), number(parts[i + 2][7:], no, i + 3)


def parse_pcf(text):
    """Blocks of a Peaks line and its g(r) rows; a block earlier in time starts a new series."""
    series, pending = [], []

    def handle(no, line):
        parts = line.split("\t")
        if "Peaks:" in parts:
            pending[:] = [_peak_line(parts, no)]
            return
        row = _numbers(line, no, 4)
        if pending:
            peaks, ccple, target = pending.pop()
            if not series or (series[-1] and row[0] < series[-1][-1].time):
                series.append([])
            series[-1].append(PcfBlock(row[0], peaks, ccple, target))
        elif not series:
            raise Broken(no, "a g(r) row before any Peaks line")
        elif row[0] != series[-1][-1].time:
            raise Broken(no, "time differs from the rest of its block")
        series[-1][-1].rows.append(row)

    error = _each_line(text, handle)
    for run in series:
        for b in run:
            b.rows = np.array(b.rows)
    return Parsed(series, error)


def parse_maxboltz(text):
    """One line per grain, one column per sample, each value followed by a tab; one series."""
    rows = []

    def handle(no, line):
        rows.append(_numbers(line, no, len(rows[0]) if rows else None, trailing_tab=True))

    error = _each_line(text, handle)
    return Parsed([np.array(rows)] if rows else [], error)


def parse_vel(text):
    """Rows 'frame<TAB>speed<TAB>...'; a frame going back starts a new series."""
    series = []

    def handle(no, line):
        row = _numbers(line, no, trailing_tab=True)
        if not series or _goes_back(series[-1], row[0]):
            series.append([])
        series[-1].append((row[0], np.array(row[1:])))

    error = _each_line(text, handle)
    return Parsed(series, error)


def parse_map(text):
    """A "2D" file: the header fixes the radii; a time going back starts a new series."""
    series = []

    def handle(no, line):
        parts = line.split("\t")
        if parts[0] == "Time/Radius":
            if len(parts) < 5 or parts[-3:] != MAP_TAIL:
                raise Broken(no, "broken Time/Radius header")
            series.append(Map(np.array([number(t, no, k) for k, t in enumerate(parts[1:-3], 2)])))
            return
        if not series:
            raise Broken(no, "a row before the Time/Radius header")
        row = _numbers(line, no, len(series[-1].radii) + 5)
        if _goes_back(series[-1].rows, row[0]):
            series.append(Map(series[-1].radii))
        series[-1].rows.append(row)

    error = _each_line(text, handle)
    for m in series:
        m.rows = np.array(m.rows).reshape(-1, len(m.radii) + 5)
    return Parsed([m for m in series if len(m.rows)], error)


def parse_tracker(text):
    """Rows of time, tempratio and groups of 8 per tracked grain; a header starts a new series."""
    series = []

    def handle(no, line):
        if line.startswith(TRACKER_START):
            series.append([])
            return
        row = _numbers(line, no, trailing_tab=True)
        if len(row) < 2 or (len(row) - 2) % 8:
            raise Broken(no, f"{len(row)} fields: not time, tempratio and groups of 8")
        if not series or _goes_back(series[-1], row[0]):
            series.append([])
        series[-1].append((row[0], row[1], np.array(row[2:]).reshape(-1, 8)))

    error = _each_line(text, handle)
    return Parsed([s for s in series if s], error)


def result_files(basename):
    """(key, path, parser) of every result file a render may leave under basename."""
    folder, base = os.path.split(basename)
    files = [("data", basename + "Data.xls", parse_data),
             ("settings", basename + "Settings.txt", parse_settings),
             ("pcf", basename + "PCF Data.xls", parse_pcf),
             ("shells", basename + "ShellStructure.xls", parse_shells),
             ("field", basename + "EFieldStruct.xls", parse_field),
             ("maxboltz", basename + "Maxboltz.xls", parse_maxboltz),
             ("vel", os.path.join(folder, "vel" + base), parse_vel)]
    files += [(suffix, os.path.join(folder, "2D" + base + word + ".xls"), parse_map)
              for word, suffix, _ in MAPS]
    return files + [("tracker", basename + "Tracker.xls", parse_tracker)]


# ----------------------------------------------------------------------------- physics

def seconds_per_period(settings):
    """Seconds in one dust plasma period, from the last Settings block (None without one)."""
    if not settings:
        return None
    s = settings[-1]
    dpf, wpe = s.get("Normalised Dust Plasma frequency"), s.get("Plasma Freq")
    return 1.0 / (dpf * wpe) if dpf and wpe and dpf * wpe > 0 else None


def maxwell_scale(speeds):
    """The Maxwell-Boltzmann scale a with a^2 = <v^2>/3."""
    return math.sqrt(float(np.mean(np.square(speeds))) / 3.0)


def maxwell(v, a):
    return math.sqrt(2 / math.pi) * v * v / a ** 3 * np.exp(-v * v / (2 * a * a))


def find_shells(counts):
    """Contiguous runs of non-empty bins, as (first, last) bin indices."""
    shells, start = [], None
    for i, c in enumerate(list(counts) + [0]):
        if c > 0 and start is None:
            start = i
        elif c <= 0 and start is not None:
            shells.append((start, i - 1))
            start = None
    return shells


# ----------------------------------------------------------------------------- drawing

def _figure(size=FIGSIZE):
    return plt.figure(figsize=size, dpi=100, layout="constrained")


def _save(fig, path):
    try:
        fig.savefig(path, dpi=100)
    finally:
        plt.close(fig)


def _pick(n, k):
    """Up to k indices spread evenly over range(n), the last always included."""
    return sorted(set(np.linspace(0, n - 1, min(n, k)).round().astype(int).tolist()))


def _runs_note(n):
    return f" ({n} runs)" if n > 1 else ""


def _run_of(k, n):
    return f", run {k} of {n}" if n > 1 else ""


def _time_axes(ax, sp):
    """Secondary time axis in seconds on top, where Settings give the conversion."""
    if sp:
        top = ax.secondary_xaxis("top", functions=(lambda t: t * sp, lambda s: s / sp))
        top.set_xlabel("time (s)")


def _radius_axis(ax, settings):
    rapar = settings[-1].get("Radius Aparatus") if settings else None
    if rapar and rapar > 0:
        top = ax.secondary_xaxis("top", functions=(lambda r: r * rapar, lambda x: x / rapar))
        top.set_xlabel(r"$r$ ($\lambda_D$)")


def _log_if_wide(ax, values):
    v = np.concatenate([np.ravel(x) for x in values]) if values else np.array([])
    if len(v) and v.min() > 0 and v.max() / v.min() > 30:
        ax.set_yscale("log")


def _style(run, quantity, nruns):
    """Several runs: colour tells the run, line style the quantity; one run: colour both."""
    ls = ["-", "--", ":", "-."][quantity % 4]
    colour = f"C{run % 10}" if nruns > 1 else ["C0", "C3", "C2", "C4"][quantity % 4]
    return dict(color=colour, ls=ls)


def _dots(n):
    """Markers for a series too short to show as a line."""
    return dict(marker="o", ms=3) if n < 3 else {}


def _legend(ax, quantities, nruns, extra=(), runs=True):
    handles = [Line2D([], [], label=q, **_style(0, i, nruns)) for i, q in enumerate(quantities)]
    if nruns > 1:
        for h in handles:
            h.set_color("k")
        if len(handles) == 1:  # one quantity: the run entries say it all
            handles = []
        if runs:
            handles += [Line2D([], [], color=f"C{k % 10}", label=f"run {k + 1}")
                        for k in range(nruns)]
    handles += list(extra)
    if len(handles) > 1:
        ax.legend(handles=handles, fontsize="small", ncol=2 if len(handles) > 5 else 1)


def _spans(ax, times, states, state, colour):
    """Shades the stretches of time where the Cool column holds state."""
    on = np.flatnonzero(states == state)
    if not len(on):
        return False
    cuts = np.flatnonzero(np.diff(on) > 1)
    for a, b in zip(np.r_[on[0], on[cuts + 1]], np.r_[on[cuts], on[-1]]):
        ax.axvspan(times[a], times[min(b + 1, len(times) - 1)], color=colour, alpha=0.15, lw=0)
    return True


def _draw_coupling(ax, runs, shade=True):
    for k, a in enumerate(runs):
        ax.plot(a[:, 0], a[:, 2], **_style(k, 0, len(runs)), **_dots(len(a)))
        ax.plot(a[:, 0], a[:, 7], **_style(k, 1, len(runs)), **_dots(len(a)))
    _log_if_wide(ax, [a[:, 2] for a in runs] + [a[:, 7] for a in runs])
    extra = []
    if shade:
        last, which = runs[-1], " (last run)" if len(runs) > 1 else ""
        if _spans(ax, last[:, 0], last[:, 8], 1, "C1"):
            extra.append(Patch(color="C1", alpha=0.3, label="steering" + which))
        if _spans(ax, last[:, 0], last[:, 8], 2, "C2"):
            extra.append(Patch(color="C2", alpha=0.3, label="target reached" + which))
    _legend(ax, ["coupling Γ", "target Γ"], len(runs), extra)
    ax.set_ylabel("coupling parameter Γ")


def _draw_lines(ax, runs, columns, labels, scale=1.0, from_start=False, legend_runs=False):
    for k, a in enumerate(runs):
        for q, c in enumerate(columns):
            y = a[:, c] - a[0, c] if from_start else a[:, c] * scale
            ax.plot(a[:, 0], y, **_style(k, q, len(runs)), **_dots(len(a)))
    _legend(ax, labels, len(runs), runs=legend_runs)


def plot_data(runs, settings, title, path):
    fig = _figure()
    axes = fig.subplots(2, 2, sharex=True)
    sp = seconds_per_period(settings)
    _draw_coupling(axes[0, 0], runs)
    _draw_lines(axes[0, 1], runs, [1], ["dust temperature"], TE_KELVIN)
    _log_if_wide(axes[0, 1], [a[:, 1] for a in runs])
    axes[0, 1].set_ylabel("dust temperature (K)")
    _draw_lines(axes[1, 0], runs, [3, 6], ["kinetic", "total"])
    axes[1, 0].set_ylabel(ENERGY)
    # Both are large and nearly cancel: their changes are what moves.
    _draw_lines(axes[1, 1], runs, [4, 5], ["Δ pair (each pair counted twice)", "Δ apparatus"],
                from_start=True)
    axes[1, 1].set_ylabel("potential energy\nchange since start " + ENERGY)
    for ax in axes[0]:
        _time_axes(ax, sp)
    for ax in axes[1]:
        ax.set_xlabel(T_AXIS)
    fig.suptitle(f"{title}: coupling, temperature and energies{_runs_note(len(runs))}")
    _save(fig, path)


def _draw_gr(ax, block, colour="k", lw=2.0, peaks=True):
    r, g = block.rows[:, 1], block.rows[:, 2]
    ax.plot(r, g, color=colour, lw=lw, label=f"t = {block.time:g}")
    if peaks and block.peaks:
        p = np.array(block.peaks)
        ax.plot(p, np.interp(p, r, g), "o", mfc="none", mec="C3", ms=8, mew=1.5,
                label="peaks found at t = %g" % block.time)
    ax.set_xlabel(R_AXIS)
    ax.set_ylabel("pair correlation g(r)")


def _ramp(fig, ax, times, label=T_AXIS):
    lo, hi = min(times), max(times)
    norm = Normalize(lo, hi if hi > lo else lo + 1)
    fig.colorbar(plt.cm.ScalarMappable(norm=norm, cmap=RAMP), ax=ax, label=label)
    return lambda t: RAMP(norm(t))


def plot_pcf(series, settings, title, path):
    run = series[-1]
    fig = _figure()
    ax = fig.add_subplot()
    shown = [run[i] for i in _pick(len(run), 12)]
    colour = _ramp(fig, ax, [b.time for b in shown])
    for b in shown[:-1]:
        ax.plot(b.rows[:, 1], b.rows[:, 2], color=colour(b.time), lw=1, alpha=0.8)
    _draw_gr(ax, shown[-1], colour(shown[-1].time), 2.2)
    ax.axhline(1.0, color="grey", lw=0.6, ls=":")
    ax.legend(fontsize="small")
    _radius_axis(ax, settings)
    ax.set_title(f"{title}: pair correlation, {len(shown)} of {len(run)} analyses"
                 f"{_run_of(len(series), len(series))}")
    _save(fig, path)


def _draw_shells(ax, run, faded=3):
    last = run[-1]
    r, counts = last[:, 1], last[:, 2]
    width = r[1] - r[0] if len(r) > 1 else 1 / 30
    for i in _pick(len(run) - 1, faded) if len(run) > 1 else []:
        b = run[i]
        ax.stairs(b[:, 2], np.r_[b[:, 1], b[-1, 1] + width], color="grey", alpha=0.6,
                  label=f"t = {b[0, 0]:g}")
    ax.bar(r, counts, width=width, align="edge", color="C0", alpha=0.85,
           label=f"t = {last[0, 0]:g}")
    shells = find_shells(counts)
    top = max(counts.max(), 1)
    for n, (a, b) in enumerate(shells):
        ax.axvspan(r[a], r[b] + width, color="C1" if n % 2 == 0 else "C2", alpha=0.15, lw=0)
        if len(shells) <= 20:
            ax.text((r[a] + r[b] + width) / 2, top * 1.04, str(n + 1), ha="center", fontsize=8)
    ax.set_ylim(0, top * 1.12)
    ax.set_xlabel(R_AXIS)
    ax.set_ylabel(f"grains per bin (width {width:.3g} $R_{{apar}}$)")
    if faded and len(run) > 1:
        ax.legend(fontsize="small")
    return len(shells), last[0, 0]


def plot_shells(series, settings, title, path):
    fig = _figure()
    ax = fig.add_subplot()
    n, t = _draw_shells(ax, blocks(series[-1]))
    _radius_axis(ax, settings)
    ax.set_title(f"{title}: {n} shell{'s' if n != 1 else ''} at t = {t:g} dust plasma periods"
                 f"{_run_of(len(series), len(series))}")
    _save(fig, path)


def plot_field(series, settings, title, path):
    run = blocks(series[-1])
    fig = _figure()
    axes = fig.subplots(2, 1, sharex=True)
    earlier = [run[i] for i in _pick(len(run) - 1, 10)] if len(run) > 1 else []
    colour = _ramp(fig, axes, [b[0, 0] for b in earlier]) if earlier else None
    labels = [r"field $E$ ($k_BT_e/(e\lambda_D)$)", r"potential ($k_BT_e/e$)"]
    for ax, column, label in zip(axes, (3, 4), labels):
        for b in earlier:
            ax.plot(b[:, 1], b[:, column], color=colour(b[0, 0]), lw=0.8, alpha=0.6)
        ax.plot(run[-1][:, 1], run[-1][:, column], "k", lw=2, label=f"t = {run[-1][0, 0]:g}")
        ax.axhline(0, color="grey", lw=0.6, ls=":")
        ax.set_ylabel(label)
    axes[0].legend(fontsize="small")
    axes[1].set_xlabel(R_AXIS)
    _radius_axis(axes[0], settings)
    axes[0].set_title(f"{title}: radial field and potential{_run_of(len(series), len(series))}")
    _save(fig, path)


def kelvin(ratio):
    """A temperature ratio (to T_e) in kelvin, as text."""
    k = ratio * TE_KELVIN
    return f"{k:.0f} K" if k >= 100 else f"{k:.3g} K"


def _decade(values):
    top = float(np.max(np.abs(values))) if len(values) else 0.0
    return 10.0 ** math.floor(math.log10(top)) if top > 0 else 1.0


def _speed_unit(scale):
    e = round(math.log10(scale))
    return SPEED if e == 0 else rf"$10^{{{e}}}$ " + SPEED


def last_speeds(maxboltz, vel):
    """Speeds of the last sample that has any, zeros of never-moved grains dropped, and a label."""
    if maxboltz:
        table = maxboltz[0]
        for j in range(table.shape[1] - 1, -1, -1):
            v = table[:, j][table[:, j] != 0.0]
            if len(v):
                return v, f"Maxboltz sample {j + 1} of {table.shape[1]}"
    if vel:
        frame, speeds = vel[-1][-1]
        return speeds[speeds != 0.0], f"vel file, frame {frame:g}"
    return np.array([]), ""


def plot_speeds(maxboltz, vel, settings, title, path):
    v, source = last_speeds(maxboltz, vel)
    if not len(v):
        return False
    fig = _figure()
    axes = fig.subplots(1, 2, width_ratios=[1.4, 1]) if vel else [fig.add_subplot()]
    scale = _decade(v)
    a = maxwell_scale(v)
    ax = axes[0]
    ax.hist(v / scale, bins=int(np.clip(np.sqrt(len(v)) * 1.5, 8, 50)), density=True,
            color="C0", alpha=0.6, label=f"{len(v)} grains ({source})")
    x = np.linspace(0, v.max() * 1.2, 300)
    mass = settings[-1].get("Mass of Particles") if settings else None
    law = f"T = {kelvin(mass * a * a)}" if mass else f"a = {a:.4g} " + SPEED
    ax.plot(x / scale, maxwell(x, a) * scale, "k", lw=2, label=f"Maxwell-Boltzmann, {law}")
    ax.set_xlabel(f"speed $v$ ({_speed_unit(scale)})")
    ax.set_ylabel(f"probability density (1/({_speed_unit(scale)}))")
    ax.legend(fontsize="small")
    fig.suptitle(f"{title}: speed distribution")
    if vel:
        vs = _decade(np.concatenate([s for run in vel for _, s in run]))
        for k, run in enumerate(vel):
            rms = [math.sqrt(np.mean(np.square(s[s != 0.0]))) if np.any(s != 0.0) else np.nan
                   for _, s in run]
            axes[1].plot([f for f, _ in run], np.array(rms) / vs, color=f"C{k % 10}",
                         label=f"run {k + 1}", **_dots(len(run)))
        if len(vel) > 1:
            axes[1].legend(fontsize="small")
        axes[1].set_xlabel("frame (time steps)")
        axes[1].set_ylabel(f"rms speed ({_speed_unit(vs)})")
    _save(fig, path)
    return True


def _edges(values, lower=False):
    """Cell edges around sample points, or after bin starts when lower is set."""
    c = np.asarray(values, float)
    step = c[-1] - c[-2] if len(c) > 1 else 1.0
    if lower:  # the last bin is as wide as the one before it
        return np.r_[c, c[-1] + step]
    first = c[1] - c[0] if len(c) > 1 else 1.0
    e = np.r_[c[0] - first / 2, (c[1:] + c[:-1]) / 2, c[-1] + step / 2]
    if c[0] >= 0:  # radii start at the centre: no cell reaches below r = 0
        e[0] = max(e[0], 0.0)
    return e


def plot_map(series, what, settings, title, path, lower=False):
    shown = series[-3:]
    peak = max(float(np.max(np.abs(m.values))) for m in shown) or 1.0
    signed = any(float(np.min(m.values)) < 0 for m in shown)
    cmap, lo = ("RdBu_r", -peak) if signed else ("viridis", 0.0)
    fig = _figure()
    axes = fig.subplots(1, len(shown), sharey=False, squeeze=False)[0]
    for k, (ax, m) in enumerate(zip(axes, shown)):
        # A row holds from its time to the next row's.
        mesh = ax.pcolormesh(_edges(m.radii, lower), _edges(m.times, True), m.values, cmap=cmap,
                             vmin=lo, vmax=peak, shading="flat")
        ax.set_xlabel(R_AXIS)
        if len(shown) > 1:
            ax.set_title(f"run {len(series) - len(shown) + k + 1}", fontsize="medium")
    axes[0].set_ylabel(T_AXIS)
    sp = seconds_per_period(settings)
    if sp:
        right = axes[-1].secondary_yaxis("right", functions=(lambda t: t * sp, lambda s: s / sp))
        right.set_ylabel("time (s)")
    fig.colorbar(mesh, ax=list(axes), label="value / maximum of its row (by magnitude)")
    more = f", last {len(shown)} of {len(series)} runs" if len(series) > len(shown) else ""
    fig.suptitle(f"{title}: {what} over time and radius{more}")
    _save(fig, path)


def tracks(run):
    """{grain number: (times, distances)} of one Tracker run, in order of first appearance."""
    out = {}
    for t, _, groups in run:
        for g in groups:
            ts, rs = out.setdefault(int(g[0]), ([], []))
            ts.append(t)
            rs.append(g[1])
    return out


def plot_tracker(series, settings, title, path):
    fig = _figure()
    ax = fig.add_subplot()
    colours, handles = {}, []
    for k, run in enumerate(series):
        for grain, (ts, rs) in tracks(run).items():
            if grain not in colours:
                colours[grain] = f"C{len(colours) % 10}"
                handles.append(Line2D([], [], color=colours[grain], label=f"grain {grain}"))
            ax.plot(ts, rs, color=colours[grain], ls=["-", "--", ":", "-."][k % 4], lw=1.3,
                    **_dots(len(ts)))
    if len(series) > 1:
        handles += [Line2D([], [], color="k", ls=["-", "--", ":", "-."][k % 4],
                           label=f"run {k + 1}") for k in range(min(len(series), 4))]
    if 1 < len(handles) <= 24:
        ax.legend(handles=handles, fontsize="small", ncol=1 + len(handles) // 9)
    ax.set_xlabel(T_AXIS)
    ax.set_ylabel(r"distance from centre $R$ ($\lambda_D$)")
    _time_axes(ax, seconds_per_period(settings))
    rapar = settings[-1].get("Radius Aparatus") if settings else None
    if rapar and rapar > 0:
        right = ax.secondary_yaxis("right", functions=(lambda r: r / rapar, lambda x: x * rapar))
        right.set_ylabel(r"$R$ / $R_{apar}$")
    ax.set_title(f"{title}: {len(colours)} tracked grain{'s' if len(colours) != 1 else ''}"
                 f"{_runs_note(len(series))}")
    _save(fig, path)


def settings_text(settings):
    s = settings[-1]
    lines = [f"Settings (block {len(settings)} of {len(settings)})" if len(settings) > 1
             else "Settings", ""]
    for label, value in s.items():
        name, unit = SETTINGS_SHOWN.get(label, (label, ""))
        lines.append(f"{name:<18.18} {value:<11.6g} {unit}")
        if label == "Tempratio":
            lines.append(f"{'T_dust':<18} {value * TE_KELVIN:<11.6g} K")
    sp = seconds_per_period(settings)
    lines += ["", f"T_e = {TE_KELVIN:g} K (2 eV)"]
    if sp:
        lines.append(f"1 dust plasma period = {sp:.4g} s")
    return "\n".join(lines)


def plot_overview(loaded, title, path):
    data, settings = loaded["data"], loaded.get("settings")
    fig = _figure(OVERVIEW_SIZE)
    grid = fig.add_gridspec(2, 3, width_ratios=[1, 1, 0.72])
    ax = [fig.add_subplot(grid[i, j]) for i in range(2) for j in range(2)]
    sp = seconds_per_period(settings)
    _draw_coupling(ax[0], data)
    _draw_lines(ax[1], data, [6, 3], ["total", "kinetic"])
    ax[1].set_ylabel(ENERGY)
    for a in ax[:2]:
        a.set_xlabel(T_AXIS)
        _time_axes(a, sp)
    ax[0].set_title("coupling against its target")
    ax[1].set_title("energy")
    if loaded.get("pcf"):
        block = loaded["pcf"][-1][-1]
        _draw_gr(ax[2], block)
        ax[2].legend(fontsize="small")
        ax[2].set_title(f"last pair correlation (t = {block.time:g})")
    if loaded.get("shells"):
        n, t = _draw_shells(ax[3], blocks(loaded["shells"][-1]), faded=0)
        ax[3].set_title(f"last shell counts: {n} shell{'s' if n != 1 else ''} (t = {t:g})")
    for a, word in ((ax[2], "PCF Data"), (ax[3], "ShellStructure")):
        if not a.has_data():
            a.text(0.5, 0.5, f"no {word} rows", ha="center", va="center", transform=a.transAxes)
            a.set_axis_off()
    text = fig.add_subplot(grid[:, 2])
    text.set_axis_off()
    if settings:
        text.text(0, 1, settings_text(settings), va="top", family="monospace", fontsize=10.5,
                  transform=text.transAxes)
    else:
        text.text(0, 1, "no Settings file", va="top", transform=text.transAxes)
    fig.suptitle(f"{title}: overview{_runs_note(len(data))}", fontsize="x-large")
    _save(fig, path)


# ----------------------------------------------------------------------------- driver

def load(path, parser):
    """The parsed file, or None when it does not exist; raises OSError when unreadable."""
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        raw = f.read()
    if not raw:
        return Parsed([], None, True)
    return parser(raw.decode("utf-8", errors="replace"))


def figures(loaded, base):
    """(PNG suffix, drawing call) of every figure the loaded files allow."""
    s = loaded.get("settings")
    out = []
    if "data" in loaded:
        out.append(("data", lambda p: plot_data(loaded["data"], s, base, p)))
    if "pcf" in loaded:
        out.append(("pcf", lambda p: plot_pcf(loaded["pcf"], s, base, p)))
    if "shells" in loaded:
        out.append(("shells", lambda p: plot_shells(loaded["shells"], s, base, p)))
    if "field" in loaded:
        out.append(("field", lambda p: plot_field(loaded["field"], s, base, p)))
    if "maxboltz" in loaded or "vel" in loaded:
        out.append(("speeds", lambda p: plot_speeds(loaded.get("maxboltz"), loaded.get("vel"),
                                                    s, base, p)))
    for word, suffix, what in MAPS:
        if suffix in loaded:
            out.append((suffix, lambda p, k=suffix, w=what, lower=word == "ShellStructure":
                        plot_map(loaded[k], w, s, base, p, lower)))
    if "tracker" in loaded:
        out.append(("tracker", lambda p: plot_tracker(loaded["tracker"], s, base, p)))
    if "data" in loaded:
        out.append(("overview", lambda p: plot_overview(loaded, base, p)))
    return out


def render(basename, outdir, out=None, err=None):
    """Reads every result file of basename, writes the figures; returns the exit status."""
    out = sys.stdout if out is None else out
    err = sys.stderr if err is None else err
    base = os.path.basename(basename)
    if not base:
        print(f"error: {basename!r} names a folder, not a render", file=err)
        return 2
    loaded, broken, found = {}, False, False
    for key, path, parser in result_files(basename):
        try:
            parsed = load(path, parser)
        except OSError as e:
            print(f"{path}: cannot be read ({e.strerror or e}); skipped", file=err)
            broken = found = True
            continue
        if parsed is None:
            print(f"note: no {path}; skipped", file=err)
            continue
        found = True
        if parsed.error:
            broken = True
            print(f"{path}, line {parsed.error[0]}: {parsed.error[1]}; "
                  "the rows before it are plotted", file=err)
        if parsed.series:
            loaded[key] = parsed.series
        elif not parsed.error:
            print(f"note: {path} {'is empty' if parsed.empty else 'has no rows'}; skipped",
                  file=err)
    if not found:
        return 2
    try:
        os.makedirs(outdir, exist_ok=True)
    except OSError as e:
        print(f"error: cannot make {outdir} ({e.strerror or e})", file=err)
        return 1
    made = 0
    for suffix, draw in figures(loaded, base):
        path = os.path.join(outdir, f"{base}_{suffix}.png")
        try:
            if draw(path) is False:
                print(f"note: nothing to draw for {path}; skipped", file=err)
                continue
        except Exception as e:  # a figure that fails must not cost the others
            plt.close("all")
            print(f"error: {path} not made ({type(e).__name__}: {e})", file=err)
            broken = True
            continue
        print(path, file=out)
        made += 1
    return 1 if broken else (0 if made else 2)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if len(argv) != 2:
        print("usage: quorvex_plot.py BASENAME OUTDIR", file=sys.stderr)
        return 2
    return render(argv[0], argv[1])


if __name__ == "__main__":
    sys.exit(main())
