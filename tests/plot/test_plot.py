"""Figures from result files: parsing into series, broken rows, and every PNG end to end.

Run as /usr/bin/python3 tests/plot/test_plot.py SOURCE_ROOT.
"""
import contextlib
import io
import math
import os
import sys
import tempfile
import unittest

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "python"))
import quorvex_plot as qp  # noqa: E402
import matplotlib.image  # noqa: E402
import numpy as np  # noqa: E402

DH, SH, FH = qp.DATA_HEADER + "\n", qp.SHELL_HEADER + "\n", qp.FIELD_HEADER + "\n"
MH = "Time/Radius\t0\t0.5\t1\tNormalisation_Factor\tParticles\tRadius Apar\n"
TH = qp.TRACKER_START + "Particle No\tR\tTheta\tPhi\tx\ty\tz\tv\t" * 100 + "\n"


def drow(t, g=2.0, cool=-1):
    return f"{t:g}\t0.5\t{g:g}\t3\t40\t-45\t-2\t500\t{cool}\n"


def shells(t, counts=(0, 2, 0, 5)):
    return "".join(f"{t:g}\t{k / 30:g}\t{c}\t0.1\t0.2\t1e16\t1e15\t{c}\t2\n"
                   for k, c in enumerate(counts))


def field(t, n=4):
    return "".join(f"{t:g}\t{k / (n - 1):g}\t{k}\t{math.sin(k) * 1e-4:g}\t{-1e-3 / (k + 1):g}\t2\n"
                   for k in range(n))


def pcf(t, peaks=(0.5,), n=3):
    head = "\t\t\t\tPeaks:\t" + "".join(f"{p:g}\t" for p in peaks) + "CCPLE:\t2\tTarget:500\n"
    return head + "".join(f"{t:g}\t{k / 2:g}\t{k + 1}\t{(k + 1) / n:g}\n" for k in range(n))


def mrow(t, v=(0.1, 0.5, 1)):
    return f"{t:g}\t" + "".join(f"{x:g}\t" for x in v) + "2\t100\t96.5\t500\n"


def track(t, grains):
    groups = "".join(f"{g}\t{10 + g + t:g}\t0.5\t1\t1\t2\t3\t1e-8\t" for g in grains)
    return f"{t:g}\t3\t{groups}\n"


def settings(dpf=2.0):
    values = {"Timestep": 1.5e7, "Total Charge": -1e6, "Number Density": 7e-10,
              "Tempratio": 0.013, "Radius Aparatus": 96.5, "Radius of Particle": 0.003,
              "Particles": 3, "CCP": 500, "Mass of Particles": 1e16, "Plasma Freq": 0.25,
              "Plasma Period": 4, "Normalised Dust Plasma frequency": dpf,
              "Interparticle distance": 33.5}
    return "".join(f"{k}: \t{v:g}\n" for k, v in values.items())


def kept(p):
    """Rows (or Settings lines) a parse kept, whatever the kind."""
    n = 0
    for s in p.series:
        if isinstance(s, (dict, np.ndarray)):
            n += len(s)
        elif isinstance(s, qp.Map):
            n += len(s.rows)
        else:
            n += sum(len(b.rows) if isinstance(b, qp.PcfBlock) else 1 for b in s)
    return n


class Parsing(unittest.TestCase):
    def test_series_splitting(self):
        lens = lambda p: [len(s) for s in p.series]  # noqa: E731
        cases = [
            ("data, two headers", qp.parse_data, DH + drow(0) + drow(1) + DH + drow(0), lens,
             [2, 1]),
            ("data, time back", qp.parse_data, DH + drow(0) + drow(2) + drow(1), lens, [2, 1]),
            ("shells, analyses", qp.parse_shells, SH + shells(0) + shells(1),
             lambda p: [len(b) for b in qp.blocks(p.series[0])], [4, 4]),
            ("field, appended", qp.parse_field, FH + field(0) + field(1) + FH + field(0),
             lambda p: [len(qp.blocks(s)) for s in p.series], [2, 1]),
            ("pcf, time back", qp.parse_pcf, pcf(0) + pcf(1) + pcf(0.5),
             lambda p: [[b.time for b in r] for r in p.series], [[0, 1], [0.5]]),
            ("maxboltz", qp.parse_maxboltz, "1\t2\t\n3\t0\t\n", lambda p: p.series[0].tolist(),
             [[1, 2], [3, 0]]),
            ("vel, frame back", qp.parse_vel, "0\t1\t\n20\t1\t2\t\n0\t5\t\n",
             lambda p: [[len(s) for _, s in r] for r in p.series], [[1, 2], [1]]),
            ("2D, time back", qp.parse_map, MH + mrow(0) + mrow(1) + mrow(0.5),
             lambda p: [m.times.tolist() for m in p.series], [[0, 1], [0.5]]),
            ("tracker, two headers", qp.parse_tracker,
             TH + track(0, [3]) + track(1, [3, 7]) + TH + track(0, [3]),
             lambda p: [[len(g) for _, _, g in r] for r in p.series], [[1, 2], [1]]),
            ("settings, two blocks", qp.parse_settings, settings(2) + settings(4),
             lambda p: [s["Normalised Dust Plasma frequency"] for s in p.series], [2, 4]),
        ]
        for name, parser, text, summary, expected in cases:
            with self.subTest(name):
                p = parser(text)
                self.assertIsNone(p.error)
                self.assertEqual(summary(p), expected)

    def test_values(self):
        d = qp.parse_data(DH + drow(0) + drow(0.75, g=123.5, cool=2)).series[0]
        self.assertEqual(d[1].tolist(), [0.75, 0.5, 123.5, 3, 40, -45, -2, 500, 2])
        b = qp.parse_pcf(pcf(4, peaks=(0.25, 0.75))).series[0][0]
        self.assertEqual((b.time, b.peaks, b.ccple, b.target), (4, [0.25, 0.75], 2, 500))
        self.assertEqual(b.rows[:, 2].tolist(), [1, 2, 3])
        m = qp.parse_map(MH + mrow(3, (0.2, -1, 0.4))).series[0]
        self.assertEqual((m.radii.tolist(), m.values.tolist(), m.rows[0, -1]),
                         ([0, 0.5, 1], [[0.2, -1, 0.4]], 500))
        run = qp.parse_tracker(TH + track(0, [3]) + track(1, [3, 7])).series[0]
        self.assertEqual(qp.tracks(run), {3: ([0, 1], [13, 14]), 7: ([1], [18])})
        self.assertEqual(qp.parse_settings(settings()).series[0]["Radius Aparatus"], 96.5)

    def test_physics(self):
        self.assertAlmostEqual(qp.seconds_per_period(qp.parse_settings(settings(2)).series), 2.0)
        self.assertIsNone(qp.seconds_per_period(None))
        self.assertAlmostEqual(qp.maxwell_scale(np.array([1.0, 2.0, 2.0])), 1.0)
        v = np.linspace(0, 20, 4001)
        self.assertAlmostEqual(np.trapz(qp.maxwell(v, 1.5), v), 1.0, places=6)
        self.assertAlmostEqual(np.trapz(v * v * qp.maxwell(v, 1.5), v), 3 * 1.5 ** 2, places=5)
        self.assertEqual(qp.kelvin(1.0), "23209 K")
        table = np.array([[0.0, 3.0, 0.0], [0.0, 0.0, 0.0], [5.0, 4.0, 0.0]])
        speeds, source = qp.last_speeds([table], None)  # last column never sampled: the one before
        self.assertEqual((speeds.tolist(), source), ([3.0, 4.0], "Maxboltz sample 2 of 3"))

    def test_shells(self):
        for counts, expected in [([0, 1, 1, 0, 2, 0], [(1, 2), (4, 4)]), ([0, 0], []),
                                 ([3], [(0, 0)]), ([1, 0, 0, 1], [(0, 0), (3, 3)])]:
            self.assertEqual(qp.find_shells(counts), expected, counts)


class BrokenRows(unittest.TestCase):
    def test_table(self):
        cases = [  # parser, text, broken line, words of the reason, rows kept
            (qp.parse_data, DH + drow(0) + "1\t2\n", 3, "2 fields where 9", 1),
            (qp.parse_data, DH + drow(0) + drow(1).replace("0.5", "abc"), 3, "field 2", 1),
            (qp.parse_data, DH + drow(0) + drow(1).replace("500", "nan"), 3, "'nan'", 1),
            (qp.parse_data, DH + drow(0) + drow(1).replace("500", "1e999"), 3, "'1e999'", 1),
            (qp.parse_data, DH + drow(0) + drow(1)[:-1], 3, "cut short", 1),
            (qp.parse_data, DH + "\n" + drow(0), 2, "empty line", 0),
            (qp.parse_data, DH + "\ufffd\x00" + "\t1" * 8 + "\n", 2, "field 1", 0),
            (qp.parse_shells, SH + shells(0) + "1\t0\t0\n", 6, "3 fields where 9", 4),
            (qp.parse_field, FH + field(0) + "1\t0\t0\t0\tx\t2\n", 6, "field 5", 4),
            (qp.parse_pcf, pcf(0) + "\t\t\t\tPeaks:\t0.5\tCCPLE:\t2\n", 5, "Target", 3),
            (qp.parse_pcf, pcf(0) + "\t\t\t\tPeaks:\t0.5\tCCPLE:\t2\tTarget:x\n", 5, "field 9", 3),
            (qp.parse_pcf, "0\t0\t1\t1\n", 1, "before any Peaks", 0),
            (qp.parse_pcf, pcf(0) + "1\t2\t0\t0\n", 5, "time differs", 3),
            (qp.parse_maxboltz, "1\t2\t\n3\t\n", 2, "1 field where 2", 1),
            (qp.parse_vel, "0\t1\t\n20\tx\t\n", 2, "field 2", 1),
            (qp.parse_map, MH + mrow(0) + "1\t2\n", 3, "2 fields where 8", 1),
            (qp.parse_map, mrow(0), 1, "before the Time/Radius header", 0),
            (qp.parse_map, MH.replace("0.5", "x"), 1, "field 3", 0),
            (qp.parse_tracker, TH + track(0, [3]) + "1\t3\t5\t6\t\n", 3, "4 fields", 1),
            (qp.parse_settings, "Timestep: \t1\nTotal Charge: \n", 2, "1 field where 2", 1),
        ]
        for parser, text, line, words, rows in cases:
            with self.subTest(text=text[-40:]):
                p = parser(text)
                self.assertIsNotNone(p.error)
                self.assertEqual(p.error[0], line)
                self.assertIn(words, p.error[1])
                self.assertEqual(kept(p), rows)


def write(folder, name, text):
    with open(os.path.join(folder, name), "w") as f:
        f.write(text)


def run_main(*argv):
    out, err = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        status = qp.main(list(argv))
    return status, out.getvalue().splitlines(), err.getvalue()


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = os.path.join(self.tmp.name, "res")
        os.mkdir(self.dir)
        self.base, self.out = os.path.join(self.dir, "runT"), os.path.join(self.tmp.name, "png")

    def tearDown(self):
        self.tmp.cleanup()

    def test_every_figure(self):
        files = {"runTData.xls": DH + drow(0, 600, 1) + drow(1, 50, 2) + drow(2, 8, 2) + DH
                 + drow(0, 500) + drow(1, 40),
                 "runTSettings.txt": settings(), "runTPCF Data.xls": pcf(0) + pcf(1, (0.5, 1.0)),
                 "runTShellStructure.xls": SH + shells(0) + shells(1, (0, 3, 1, 0)),
                 "runTEFieldStruct.xls": FH + field(0) + field(1) + field(2),
                 "runTMaxboltz.xls": "".join(f"{v:g}\t{v * 1.1:g}\t\n"
                                             for v in (1e-8, 2e-8, 3e-8, 0)),
                 "velrunT": "0\t1e-8\t2e-8\t\n20\t2e-8\t3e-8\t4e-8\t\n0\t1e-8\t\n",
                 "runTTracker.xls": TH + track(0, [3]) + track(1, [3, 7]) + track(2, [3, 7])}
        for word in ("ShellStructure", "PCF Data", "Potential", "EField"):
            files[f"2DrunT{word}.xls"] = MH + mrow(0) + mrow(1, (0.3, 1, -0.2)) + mrow(2)
        for name, text in files.items():
            write(self.dir, name, text)
        status, printed, err = run_main(self.base, self.out)
        self.assertEqual((status, err), (0, ""))
        kinds = ["data", "pcf", "shells", "field", "speeds", "2D_shells", "2D_pcf", "2D_potential",
                 "2D_efield", "tracker", "overview"]
        self.assertEqual(printed, [os.path.join(self.out, f"runT_{k}.png") for k in kinds])
        for path in printed:
            with self.subTest(path):
                image = matplotlib.image.imread(path)
                size = (900, 1200) if path.endswith("overview.png") else (500, 800)
                self.assertEqual(image.shape[:2], size)
                self.assertTrue((image != image[0, 0]).any(axis=2).any(), "blank")

    def test_broken_and_missing(self):
        write(self.dir, "runTData.xls", DH + drow(0) + drow(1) + "2\t0.5\n" + drow(3))
        status, printed, err = run_main(self.base, self.out)
        self.assertEqual(status, 1)
        self.assertIn(self.base + "Data.xls, line 4: 2 fields where 9 belong; the rows before it"
                      " are plotted", err)
        self.assertEqual(err.count("note: no "), 11)
        self.assertEqual([os.path.basename(p) for p in printed],
                         ["runT_data.png", "runT_overview.png"])

    def test_nothing_to_plot(self):
        self.assertEqual(run_main(self.base, self.out)[:2], (2, []))
        write(self.dir, "runTData.xls", "")
        status, printed, err = run_main(self.base, self.out)
        self.assertEqual((status, printed), (2, []))
        self.assertIn(f"note: {self.base}Data.xls is empty; skipped", err)
        self.assertEqual(run_main(self.base)[0], 2)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]])
