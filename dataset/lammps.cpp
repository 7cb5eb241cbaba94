#include "dataset/lammps.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "dataset/extxyz.h"
#include "dataset/header.h"

namespace qv::dataset {
namespace {

double largestDistance(const std::vector<Particle>& atoms) {
    double r = 0;
    for (const Particle& p : atoms) r = std::max(r, p.distanceFromCentre());
    return r;
}

}  // namespace

LammpsWall lammpsWall(const LammpsState& s) {
    double mass = 0;
    double squares = 0;
    int grains = 0;
    for (const Particle& p : s.atoms) {
        if (p.role != Role::Grain) continue;
        mass = std::max(mass, p.mass());
        squares += p.speed() * p.speed();
        ++grains;
    }
    LammpsWall wall;
    const double speed = 2.0 * std::sqrt(squares / std::max(grains, 1));
    wall.depth = std::max(0.01 * s.apparatusRadius, 20.0 * speed * s.timeStep);
    // (1/2) m v^2 = K depth^3 / 3
    wall.constant = 1.5 * mass * speed * speed / (wall.depth * wall.depth * wall.depth);
    return wall;
}

namespace {

std::string typeList(const AtomTypes& types, bool grains) {
    std::string list;
    for (std::size_t t = 0; t < types.role.size(); ++t) {
        if ((types.role[t] == Role::Grain) == grains) list += ' ' + std::to_string(t + 1);
    }
    return list;
}

// The fields of a line, split at blanks.
std::vector<std::string_view> fieldsOf(std::string_view line) {
    constexpr std::string_view kBlanks = " \t\r";
    std::vector<std::string_view> fields;
    for (std::size_t start = line.find_first_not_of(kBlanks); start != std::string_view::npos;) {
        const std::size_t end = std::min(line.find_first_of(kBlanks, start), line.size());
        fields.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(kBlanks, end);
    }
    return fields;
}

bool parseWhole(std::string_view s, long long& value) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

// Lines with their numbers; an item line is one that starts "ITEM:".
class Lines {
  public:
    explicit Lines(std::istream& in) : in_(in) {}
    bool next(std::string& line) {
        if (!std::getline(in_, line)) return false;
        ++number_;
        return true;
    }
    long long number() const { return number_; }

  private:
    std::istream& in_;
    long long number_ = 0;
};

bool isItem(std::string_view line, std::string_view item) {
    return line.rfind("ITEM: " + std::string(item), 0) == 0;
}

}  // namespace

AtomTypes atomTypes(const std::vector<Particle>& atoms) {
    AtomTypes types;
    for (const Particle& p : atoms) {
        std::size_t t = 0;
        while (t < types.role.size() && (types.role[t] != p.role || types.mass[t] != p.mass())) ++t;
        if (t == types.role.size()) {
            types.role.push_back(p.role);
            types.mass.push_back(p.mass());
        }
        types.typeOf.push_back(static_cast<int>(t) + 1);
    }
    return types;
}

double lammpsCutoff(const LammpsState& state) {
    if (state.screeningLength < kUnscreened) return state.cutoff;
    return 4.0 * std::max(state.apparatusRadius, largestDistance(state.atoms));
}

std::string lammpsData(const LammpsState& s) {
    const AtomTypes types = atomTypes(s.atoms);
    // Shrink-wrapped boundaries fit the box to the atoms; these bounds only have to hold them.
    const double half = 1.5 * std::max(s.apparatusRadius, largestDistance(s.atoms));
    std::ostringstream out;
    out << "LAMMPS data file from quorvex: " << s.source << ", frame " << s.frame << "\n\n"
        << s.atoms.size() << " atoms\n"
        << types.role.size() << " atom types\n\n";
    for (const char* axis : {"x", "y", "z"})
        out << exact(-half) << ' ' << exact(half) << ' ' << axis << "lo " << axis << "hi\n";
    out << "\nMasses\n\n";
    for (std::size_t t = 0; t < types.mass.size(); ++t)
        out << t + 1 << ' ' << exact(types.mass[t]) << "  # " << roleName(types.role[t]) << '\n';
    out << "\nAtoms  # charge\n\n";
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        const Particle& p = s.atoms[i];
        out << i + 1 << ' ' << types.typeOf[i] << ' ' << exact(p.charge());
        for (int c : kAxes) out << ' ' << exact(p.position(c));
        out << '\n';
    }
    out << "\nVelocities\n\n";
    for (std::size_t i = 0; i < s.atoms.size(); ++i) {
        out << i + 1;
        for (int c : kAxes) out << ' ' << exact(s.atoms[i].velocity(c));
        out << '\n';
    }
    return out.str();
}

std::string lammpsInput(const LammpsState& s, const std::string& name) {
    const AtomTypes types = atomTypes(s.atoms);
    const std::string grains = typeList(types, true);
    const std::string others = typeList(types, false);
    const std::string nd = exact(s.debyeSphereCount);
    const std::string bigR = exact(s.apparatusRadius);
    const std::string bigQ = exact(s.totalCharge);
    const double cutoff = lammpsCutoff(s);
    const LammpsWall wall = lammpsWall(s);
    const bool screened = s.screeningLength < kUnscreened;
    // LAMMPS's coul/debye is q_i q_j exp(-kappa r) / (dielectric r): kappa is 1 / lambda_s.
    const std::string pairStyle =
        screened ? "coul/debye " + exact(1.0 / s.screeningLength) + ' ' + exact(cutoff)
                 : "coul/cut " + exact(cutoff);
    const std::string pairName = screened ? "coul/debye" : "coul/cut";

    std::ostringstream out;
    out << "# quorvex: " << s.source << ", frame " << s.frame << ", for LAMMPS\n"
        << "# Run in this folder: lmp -in " << name << ".in   (or: mpirun -np 4 lmp -in " << name
        << ".in)\n"
        << "# Set with -var NAME VALUE: steps (default " << s.steps
        << "), every (dump and thermo interval, default " << s.every << "), wall (1 on, 0 off)\n"
        << "#\n"
        << "# Units: the program's own, under LAMMPS's lj style: length = electron Debye length,\n"
        << "# mass = electron mass, charge = elementary charge, energy = kB Te, time = "
           "1/omega_pe.\n"
        << "# The Coulomb factor 1/(3 ND) is the dielectric constant 3 ND.\n";
    if (screened) {
        out << "# As in quorvex: the screened pair force and energy (screening length "
            << num(s.screeningLength) << ", the\n# same cutoff " << num(cutoff) << "); the field";
    } else {
        out << "# As in quorvex: the Coulomb force and energy of every pair (the cutoff lies "
               "beyond the\n# cloud); the field";
    }
    out << " of the apparatus sphere (radius R, charge -Q: linear in r inside,\n"
        << "# 1/r^2 outside) on every atom, and its energy on the grains; constant energy with\n"
        << "# the same step" << (s.friction > 0 ? ", and the Langevin gas (fix langevin)" : "")
        << ".\n"
        << "# Not as in quorvex:\n"
        << "# - integration by velocity Verlet (quorvex: semi-implicit Euler);\n"
        << "# - the reflecting wall is a soft container (fix indent, sphere, side in) on the\n"
        << "#   grains: beyond R a force K (r - R)^2 pushes them back, stopping a grain at twice\n"
        << "#   the rms speed within " << num(wall.depth) << ";\n"
        << "# - hard-sphere collisions, the coupling thermostat and the firing of dead particles\n"
        << "#   are left out, and so are the dead particles waiting in the reserve;\n"
        << "# - beyond R the apparatus energy is the sphere's own, -q Q/(3 ND r), so that the\n"
        << "#   energy is conserved (quorvex's Data file takes the inside formula at every r);\n"
        << "# - the pair energy c_pair counts every pair once (quorvex's Data file twice); ke and\n"
        << "#   temp count every atom (quorvex: the grains, temperature from the mean speed).\n"
        << "# Dump: " << name
        << ".dump, sorted by id, timestep = quorvex frame - 1; read it back with\n"
        << "#   quorvex import " << name << ".dump --format lammps-dump --like " << s.source
        << " -o NEW\n\n";
    out << "units lj\n"
        << "atom_style charge\n"
        << "boundary s s s\n"
        << "variable steps index " << s.steps << '\n'
        << "variable every index " << s.every << '\n'
        << "variable wall index 1";
    out << "\n\nread_data " << name << ".data\n"
        << "reset_timestep " << s.frame - 1 << "\n\n"
        << "dielectric " << exact(3.0 * s.debyeSphereCount) << '\n'
        << "pair_style " << pairStyle << '\n'
        << "pair_coeff * *\n"
        << "neighbor " << num(0.1 * cutoff) << (screened ? " bin\n" : " nsq\n")
        << "neigh_modify every 1 delay 0 check yes\n\n"
        << "group grains type" << grains << '\n';
    if (!others.empty()) out << "group others type" << others << '\n';
    out << "# The apparatus sphere\n"
        << "variable R equal " << bigR << '\n'
        << "variable Q equal " << bigQ << '\n'
        << "variable ND equal " << nd << '\n'
        << "variable r atom sqrt(x*x+y*y+z*z)\n"
        << "variable rr atom (v_r>=v_R)*v_r+(v_r<v_R)*v_R\n"
        << "variable k atom -q*v_Q/(3*v_ND*v_rr^3)\n"
        << "variable fx atom v_k*x\n"
        << "variable fy atom v_k*y\n"
        << "variable fz atom v_k*z\n"
        << "variable e atom (v_r<v_R)*q*(-v_Q/(2*v_R*v_ND))*(1-v_r*v_r/(3*v_R*v_R))"
           "+(v_r>=v_R)*(-q*v_Q/(3*v_ND*v_rr))\n"
        << "fix apparatus grains addforce v_fx v_fy v_fz energy v_e\n"
        << "fix_modify apparatus energy yes\n";
    if (!others.empty()) out << "fix apparatus_others others addforce v_fx v_fy v_fz\n";
    out << "if \"${wall} == 1\" then &\n"
        << "  \"fix wall grains indent " << num(wall.constant) << " sphere 0 0 0 " << bigR
        << " side in\" &\n"
        << "  \"fix_modify wall energy yes\"\n\n"
        << "fix integrate all nve\n";
    // LAMMPS's damp is the relaxation time 1 / gamma; its lj temperature is k T in energy units.
    if (s.friction > 0) {
        out << "fix gas all langevin " << exact(s.gasTemperature) << ' ' << exact(s.gasTemperature)
            << ' ' << exact(1.0 / s.friction) << ' ' << s.seed << "\n";
    }
    out << "timestep " << exact(s.timeStep) << "\n\n"
        << "compute pair all pair " << pairName << "\n"
        << "thermo_style custom step temp ke pe c_pair f_apparatus etotal\n"
        << "thermo_modify norm no format float %.15g\n"
        << "thermo ${every}\n"
        << "dump trajectory all custom ${every} " << name << ".dump id type x y z vx vy vz q\n"
        << "dump_modify trajectory sort id first yes format float %.10g\n"
        << "run ${steps}\n";
    return out.str();
}

DumpRead readLammpsDump(std::istream& in, int atoms, const std::vector<std::string>& required,
                        const std::vector<std::string>& optional) {
    DumpRead read;
    Lines lines(in);
    std::string line;
    const auto fail = [&read](long long at, std::string what) {
        read.problem = Problem{at, std::move(what)};
        return read;
    };
    bool pending = lines.next(line);
    while (pending) {
        if (fieldsOf(line).empty()) {
            pending = lines.next(line);
            continue;
        }
        const long long start = lines.number();
        if (!isItem(line, "TIMESTEP"))
            return fail(start, "\"ITEM: TIMESTEP\" expected, as every frame of a dump begins");
        DumpFrame frame;
        const bool stated = lines.next(line);
        const auto step = fieldsOf(line);
        if (!stated || step.size() != 1 || !parseWhole(step[0], frame.timestep))
            return fail(lines.number(), "the timestep is missing or not a whole number");
        const std::string cut = "the last frame (timestep " + std::to_string(frame.timestep) +
                                ", from line " + std::to_string(start) + ") is cut short";
        // The items up to the atoms: the count, the box and whatever else this LAMMPS writes.
        std::vector<int> where;  // column of each wanted name in the atom lines
        long long count = 0;
        bool counted = false;
        for (;;) {
            if (!lines.next(line)) return fail(lines.number(), cut);
            if (isItem(line, "NUMBER OF ATOMS")) {
                if (!lines.next(line)) return fail(lines.number(), cut);
                const auto f = fieldsOf(line);
                counted = f.size() == 1 && parseWhole(f[0], count);
                if (!counted)
                    return fail(lines.number(), "the number of atoms is not a whole number");
                if (count != atoms)
                    return fail(lines.number(), "the frame holds " + std::to_string(count) +
                                                    " atoms where the data set has " +
                                                    std::to_string(atoms));
            } else if (isItem(line, "ATOMS")) {
                break;
            }
            // Otherwise an item not needed (box bounds, time, units) or one of its lines.
        }
        if (!counted) return fail(lines.number(), "the frame states no number of atoms");
        const auto names = fieldsOf(line);
        std::vector<std::string> found;
        // The ids say which atom a line is; without them an atom could land on another slot.
        const auto idName = std::find(names.begin() + 2, names.end(), "id");
        const std::ptrdiff_t idAt = idName - names.begin() - 2;
        std::string missing = idName == names.end() ? "id" : "";
        const auto look = [&](const std::string& wanted, bool needed) {
            const auto it = std::find(names.begin() + 2, names.end(), wanted);
            if (it != names.end()) {
                where.push_back(static_cast<int>(it - names.begin()) - 2);
                found.push_back(wanted);
            } else if (needed) {
                missing += (missing.empty() ? "" : " ") + wanted;
            }
        };
        for (const std::string& c : required) look(c, true);
        for (const std::string& c : optional) look(c, false);
        if (!missing.empty())
            return fail(lines.number(), "the atoms lack the column(s) " + missing);
        if (read.frames.empty()) {
            read.columns = found;
        } else if (found != read.columns) {
            return fail(lines.number(), "the columns differ from the first frame's");
        }
        const int columns = static_cast<int>(names.size()) - 2;
        frame.values.reserve(static_cast<std::size_t>(atoms) * where.size());
        for (int a = 0; a < atoms; ++a) {
            if (!lines.next(line))
                return fail(lines.number(), cut + " after " + std::to_string(a) + " of " +
                                                std::to_string(atoms) + " atoms");
            const auto f = fieldsOf(line);
            if (static_cast<int>(f.size()) != columns)
                return fail(lines.number(), "an atom line has " + std::to_string(columns) +
                                                " fields, this one " + std::to_string(f.size()));
            long long id = 0;
            if (!parseWhole(f[idAt], id) || id != a + 1)
                return fail(lines.number(),
                            "atom id " + std::string(f[idAt]) + " where " + std::to_string(a + 1) +
                                " belongs: the atoms must be sorted by id (dump_modify sort id)");
            for (std::size_t k = 0; k < where.size(); ++k) {
                double v = 0;
                if (!parseReal(f[where[k]], v))
                    return fail(lines.number(), "the " + found[k] + " value \"" +
                                                    std::string(f[where[k]]) +
                                                    "\" is not a finite number");
                frame.values.push_back(v);
            }
        }
        read.frames.push_back(std::move(frame));
        pending = lines.next(line);
    }
    return read;
}

}  // namespace qv::dataset
