#include "setup/config.h"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <fstream>
#include <sstream>

#include "console/console.h"

namespace qv {
namespace {

// Keys both commands take: the outputs of the new render, its schedule and the "2D" files.
constexpr KeyInfo kName{"name",
                        KeyKind::Text,
                        "",
                        "",
                        "no control characters; short enough for \"2D<name>ShellStructure.xls\"",
                        "data set file name; the result files are named after it"};
constexpr KeyInfo kAppend{
    "append", KeyKind::Flag,   "false",
    "",       "true or false", "append to an existing data set and result files of that name"};
constexpr KeyInfo kFrames{"frames",          KeyKind::Integer,
                          "10000",           "time steps",
                          "1 to 2147483646", "number of frames (time steps) to render"};
constexpr KeyInfo kWriteEvery{"write_every", KeyKind::Integer,
                              "25",          "time steps",
                              "1 to frames", "store the positions every this many frames"};
constexpr KeyInfo kAnalyseEvery{
    "analyse_every", KeyKind::Integer, "20",
    "time steps",    "1 or more",      "write the analysis files every this many frames"};
constexpr KeyInfo kStepMultiplier{"step_multiplier",
                                  KeyKind::Real,
                                  "1.0",
                                  "",
                                  "above 0",
                                  "multiply the time step by this factor"};
constexpr KeyInfo kSchedule{"cooling_schedule",
                            KeyKind::Flag,
                            "false",
                            "",
                            "true or false",
                            "automated PCF/shell functions: the smart cooling schedule"};
constexpr KeyInfo kScheduleKeys[] = {
    {"cooling.max_coupling", KeyKind::Real, "", "", "above 0",
     "schedule: maximum coupling parameter (needed with cooling_schedule)"},
    {"cooling.min_coupling", KeyKind::Real, "", "", "above 0",
     "schedule: minimum coupling parameter (needed with cooling_schedule)"},
    {"cooling.divisions", KeyKind::Integer, "", "", "2 or more",
     "schedule: number of divisions (needed with cooling_schedule)"},
    {"cooling.division_length", KeyKind::Integer, "", "time steps", "2 or more",
     "schedule: length of a division (needed with cooling_schedule)"},
    {"cooling.mode", KeyKind::Integer, "1", "", "1 or 2",
     "schedule: 1 goes from maximum to minimum, 2 from maximum to minimum and back"},
};
constexpr KeyInfo kOutputs2D[] = {
    {"outputs_2d.shell", KeyKind::Flag, "false", "", "true or false",
     "\"2D\" time by radius file of the shell structure"},
    {"outputs_2d.pcf", KeyKind::Flag, "false", "", "true or false",
     "\"2D\" time by radius file of the pair correlation"},
    {"outputs_2d.potential", KeyKind::Flag, "false", "", "true or false",
     "\"2D\" time by radius file of the potential"},
    {"outputs_2d.efield", KeyKind::Flag, "false", "", "true or false",
     "\"2D\" time by radius file of the electric field"},
};

// The interaction and dynamics beyond the bare Coulomb model; at their defaults they are left
// out of the resolved configuration, so that a plain run's files stay as they were.
constexpr KeyInfo kModelKeys[] = {
    {"screening.length", KeyKind::Real, "inf", "electron Debye lengths",
     "above 0; inf: bare Coulomb",
     "screening length lambda_s: pair energy ~ exp(-r/lambda_s)/r (taken over from the record "
     "when continuing)"},
    {"screening.kappa", KeyKind::Real, "0.0", "interparticle distances per screening length",
     "0 or more; 0: bare Coulomb; not with screening.length",
     "kappa = a / lambda_s, the screening length in units of the interparticle distance a"},
    {"screening.cutoff_tolerance", KeyKind::Real, "1e-06", "", "above 0 and below 1",
     "screened pairs add nothing beyond where the pair term is this fraction of its value at a"},
    {"langevin.friction", KeyKind::Real, "0.0", "per second", "0 or more; 0: no gas",
     "Epstein drag rate gamma of the neutral gas (Langevin dynamics with its random kicks)"},
    {"langevin.gas_temperature", KeyKind::Real, "300.0", "K", "above 0",
     "temperature T_n of the neutral gas the grains come to"},
    {"langevin.coupling_thermostat", KeyKind::Flag, "false", "", "true or false",
     "with friction: the coupling thermostat acts as well (else the gas takes its place)"},
};

bool isModelKey(std::string_view name) {
    return name.starts_with("screening.") || name.starts_with("langevin.");
}

std::vector<KeyInfo> renderKeys() {
    std::vector<KeyInfo> keys = {
        kName,
        kAppend,
        kSchedule,
        {"seed", KeyKind::Integer, "13", "", "any whole number",
         "seed of the random numbers (initial cloud and velocities)"},
        {"dead_particles", KeyKind::Integer, "100", "", "0 to 2147483646",
         "dead particles waiting to be fired in"},
        {"particles", KeyKind::Integer, "276", "", "1 to 2147483647 - dead_particles",
         "number of grains"},
        kFrames,
        {"temperature", KeyKind::Real, "300.0", "K", "above 0", "initial dust temperature"},
        {"coupling", KeyKind::Real, "500.0", "", "above 1",
         "coupling parameter (CCP) the thermostat steers to"},
        {"charge", KeyKind::Real, "10000.0", "elementary charges", "not 0",
         "average grain charge, in electrons"},
        kWriteEvery,
        kAnalyseEvery,
        {"mass_groups", KeyKind::Integer, "1", "", "1 to particles",
         "number of different grain masses (equal groups)"},
        {"max_mass_fraction", KeyKind::Real, "1.0", "of the average mass",
         "above 0, at least min_mass_fraction", "heaviest group's mass (with mass_groups > 1)"},
        {"min_mass_fraction", KeyKind::Real, "1.0", "of the average mass", "above 0",
         "lightest group's mass (with mass_groups > 1)"},
        kStepMultiplier,
        {"speed_distribution", KeyKind::Flag, "false", "", "true or false",
         "write the speed distribution (Maxboltz) at the end"},
    };
    keys.insert(keys.end(), std::begin(kScheduleKeys), std::end(kScheduleKeys));
    keys.insert(keys.end(), std::begin(kOutputs2D), std::end(kOutputs2D));
    keys.insert(keys.end(), std::begin(kModelKeys), std::end(kModelKeys));
    return keys;
}

std::vector<KeyInfo> continueKeys() {
    std::vector<KeyInfo> keys = {
        kSchedule,
        {"from", KeyKind::Text, "", "", "a data set or master file that loads",
         "data set or master file to continue from"},
        {"frame", KeyKind::Integer, "0", "time steps",
         "2 x its write interval to its last frame; 0: the last stored frame",
         "frame to continue from"},
        {"end_frame", KeyKind::Integer, "0", "stored frames", "0 or more; 0: as its header says",
         "stored frames to read from an unfinished file"},
        {"dead_particles", KeyKind::Integer, "", "", "0 to slots - 1",
         "dead particles to use when the file's waiting ones differ from its header"},
        {"temperature", KeyKind::Real, "", "K", "0 or more",
         "new dust temperature (velocities rescaled); not given: unchanged"},
        kFrames,
        kWriteEvery,
        kAnalyseEvery,
        kStepMultiplier,
        kName,
        kAppend,
    };
    keys.insert(keys.end(), std::begin(kScheduleKeys), std::end(kScheduleKeys));
    keys.insert(keys.end(), std::begin(kOutputs2D), std::end(kOutputs2D));
    keys.insert(keys.end(), std::begin(kModelKeys), std::end(kModelKeys));
    return keys;
}

const KeyInfo* findKey(Command command, std::string_view name) {
    for (const KeyInfo& k : configKeys(command))
        if (name == k.name) return &k;
    return nullptr;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

const char* kindName(KeyKind kind) {
    switch (kind) {
        case KeyKind::Integer:
            return "a whole number";
        case KeyKind::Real:
            return "a number";
        case KeyKind::Flag:
            return "true or false";
        case KeyKind::Text:
            return "a quoted text";
    }
    return "";
}

// The node as a value of `kind`, or nothing when it is of another type. A whole number serves
// where a real one is asked for.
std::optional<Config::Value> asValue(const toml::node& node, KeyKind kind) {
    switch (kind) {
        case KeyKind::Integer:
            if (const auto v = node.value_exact<int64_t>()) return Config::Value{*v};
            break;
        case KeyKind::Real:
            if (const auto v = node.value_exact<double>()) return Config::Value{*v};
            if (const auto v = node.value_exact<int64_t>())
                return Config::Value{static_cast<double>(*v)};
            break;
        case KeyKind::Flag:
            if (const auto v = node.value_exact<bool>()) return Config::Value{*v};
            break;
        case KeyKind::Text:
            if (const auto v = node.value_exact<std::string>()) return Config::Value{*v};
            break;
    }
    return std::nullopt;
}

std::string nodeText(const toml::node& node) {
    std::ostringstream s;
    if (node.is_table()) {
        s << "a table";
    } else if (const auto* a = node.as_array()) {
        s << *a;
    } else if (const auto v = node.value_exact<std::string>()) {
        s << tomlValue(*v);
    } else {
        node.visit([&s](const auto& n) { s << n; });
    }
    return s.str();
}

std::string lineOrigin(const std::string& source, const toml::source_region& region) {
    return source + ", line " + std::to_string(region.begin.line);
}

}  // namespace

const std::vector<KeyInfo>& configKeys(Command command) {
    static const std::vector<KeyInfo> render = renderKeys();
    static const std::vector<KeyInfo> cont = continueKeys();
    return command == Command::Render ? render : cont;
}

std::string nearestOf(std::string_view word, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = SIZE_MAX;
    for (const std::string& c : candidates) {
        const std::size_t d = editDistance(word, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    return best;
}

std::string nearestKey(Command command, std::string_view key) {
    std::vector<std::string> names;
    for (const KeyInfo& k : configKeys(command)) names.push_back(k.name);
    return nearestOf(key, names);
}

std::string keyReference() {
    std::ostringstream s;
    const auto section = [&s](const char* title, Command command) {
        s << title << '\n';
        for (const KeyInfo& k : configKeys(command)) {
            s << "  " << k.name << " (" << kindName(k.kind);
            if (*k.unit) s << ", " << k.unit;
            s << ")\n      " << k.meaning
              << "\n      default: " << (*k.defaultValue ? k.defaultValue : "none, must be given")
              << "; allowed: " << k.range << '\n';
        }
    };
    section("quorvex render CONFIG", Command::Render);
    s << '\n';
    section("quorvex continue CONFIG", Command::Continue);
    return s.str();
}

std::string tomlValue(const Config::Value& value) {
    if (const auto* i = std::get_if<long long>(&value)) return std::to_string(*i);
    if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
    if (const auto* d = std::get_if<double>(&value)) {
        if (std::isnan(*d)) return "nan";
        if (std::isinf(*d)) return *d > 0 ? "inf" : "-inf";
        // The shortest text that reads back as the same double.
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, *d).ptr;
        std::string text(buffer, end);
        if (text.find_first_of(".e") == std::string::npos) text += ".0";
        return text;
    }
    std::string quoted = "\"";
    for (const char c : std::get<std::string>(value)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (u < 0x20 || u == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

Config Config::fromFile(const std::string& path, Command command,
                        const std::vector<std::string>& overrides) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ConfigError(path + ": the configuration file cannot be read");
    std::ostringstream text;
    text << file.rdbuf();
    return fromText(text.str(), path, command, overrides);
}

Config Config::fromText(std::string_view text, const std::string& source, Command command,
                        const std::vector<std::string>& overrides) {
    Config config(command, source);
    toml::table root;
    try {
        root = toml::parse(text, source);
    } catch (const toml::parse_error& e) {
        throw ConfigError(source + ", line " + std::to_string(e.source().begin.line) + ": " +
                          std::string(e.description()));
    }
    // Dotted names for the keys of tables: [cooling] divisions = 5 is "cooling.divisions".
    const std::function<void(const toml::table&, const std::string&)> walk =
        [&](const toml::table& table, const std::string& prefix) {
            for (const auto& [key, node] : table) {
                const std::string name = prefix + std::string(key.str());
                const std::string origin = lineOrigin(source, key.source());
                const KeyInfo* info = findKey(command, name);
                if (info == nullptr) {
                    if (const auto* sub = node.as_table()) {
                        const bool known =
                            std::any_of(configKeys(command).begin(), configKeys(command).end(),
                                        [&name](const KeyInfo& k) {
                                            return std::string_view(k.name).starts_with(name + ".");
                                        });
                        if (known) {
                            walk(*sub, name + ".");
                            continue;
                        }
                    }
                    throw ConfigError(origin + ": unknown key \"" + name + "\"; did you mean \"" +
                                      nearestKey(command, name) + "\"?");
                }
                const std::optional<Value> value = asValue(node, info->kind);
                if (!value) {
                    throw ConfigError(origin + ": " + name + " = " + nodeText(node) + ": " +
                                      kindName(info->kind) + " is needed");
                }
                config.set(*info, *value, origin);
            }
        };
    walk(root, "");
    for (const std::string& assignment : overrides) config.applyOverride(assignment);
    return config;
}

void Config::set(const KeyInfo& info, const Value& value, const std::string& origin) {
    given_[info.name] = Entry{value, origin};
}

void Config::applyOverride(const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        throw ConfigError("--set " + assignment + ": key=value is needed");
    const auto trim = [](std::string s) {
        const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
        s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
        s.erase(std::find_if_not(s.rbegin(), s.rend(), blank).base(), s.end());
        return s;
    };
    const std::string name = trim(assignment.substr(0, equals));
    const std::string text = trim(assignment.substr(equals + 1));
    const std::string origin = "--set " + assignment;
    const KeyInfo* info = findKey(command_, name);
    if (info == nullptr) {
        throw ConfigError(origin + ": unknown key \"" + name + "\"; did you mean \"" +
                          nearestKey(command_, name) + "\"?");
    }
    // The value as TOML writes it; a bare word is a text, so that name=runB needs no quotes.
    std::optional<Value> value;
    try {
        const toml::table t = toml::parse("v = " + text);
        value = asValue(*t.get("v"), info->kind);
    } catch (const toml::parse_error&) {
        if (info->kind == KeyKind::Text) value = Value{text};
    }
    if (!value)
        throw ConfigError(origin + ": " + name + " = " + text + ": " + kindName(info->kind) +
                          " is needed");
    set(*info, *value, origin);
}

bool Config::given(std::string_view key) const {
    return given_.find(key) != given_.end();
}

const Config::Entry& Config::entry(std::string_view key) const {
    if (const auto it = given_.find(key); it != given_.end()) return it->second;
    if (const auto it = defaults_.find(key); it != defaults_.end()) return it->second;
    const KeyInfo* info = findKey(command_, key);
    if (info == nullptr) throw std::logic_error("no configuration key " + std::string(key));
    if (*info->defaultValue == '\0') {
        throw ConfigError(source_ + ": " + std::string(key) +
                          " must be given here: " + info->meaning);
    }
    const toml::table t = toml::parse(std::string("v = ") + info->defaultValue);
    return defaults_[info->name] = Entry{*asValue(*t.get("v"), info->kind), "default"};
}

void Config::reject(std::string_view key, std::string_view why) const {
    const Entry& e = entry(key);
    std::string where = e.origin == "default" ? source_ : e.origin;
    std::string value = tomlValue(e.value);
    if (e.origin == "default") value += " (the default)";
    throw ConfigError(where + ": " + std::string(key) + " = " + value + ": " + std::string(why));
}

int Config::integer(std::string_view key, const std::function<bool(int)>& accept,
                    std::string_view refusal) const {
    const long long v = std::get<long long>(entry(key).value);
    if (v < INT_MIN || v > INT_MAX || (accept && !accept(static_cast<int>(v))))
        reject(key, refusal.empty() ? "out of range" : refusal);
    return static_cast<int>(v);
}

double Config::real(std::string_view key, const std::function<bool(double)>& accept,
                    std::string_view refusal) const {
    const double v = std::get<double>(entry(key).value);
    if (accept && !accept(v)) reject(key, refusal.empty() ? "out of range" : refusal);
    return v;
}

bool Config::flag(std::string_view key) const {
    return std::get<bool>(entry(key).value);
}

std::string Config::text(std::string_view key) const {
    return std::get<std::string>(entry(key).value);
}

template <>
int answer<int>(const Config* config, std::string_view key, std::string_view prompt,
                const std::function<bool(int)>& accept, std::string_view refusal) {
    return config ? config->integer(key, accept, refusal)
                  : console::prompt<int>(prompt, accept, refusal);
}

template <>
double answer<double>(const Config* config, std::string_view key, std::string_view prompt,
                      const std::function<bool(double)>& accept, std::string_view refusal) {
    return config ? config->real(key, accept, refusal)
                  : console::prompt<double>(prompt, accept, refusal);
}

std::string Config::resolved() const {
    std::string out = command_ == Command::Render
                          ? "# quorvex render: every key in force, defaults filled in\n"
                          : "# quorvex continue: every key in force, defaults filled in\n";
    for (const KeyInfo& k : configKeys(command_)) {
        if (!given(k.name) && (*k.defaultValue == '\0' || isModelKey(k.name))) continue;
        out += std::string(k.name) + " = " + tomlValue(entry(k.name).value) + '\n';
    }
    return out;
}

}  // namespace qv
