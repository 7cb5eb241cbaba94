#pragma once
// A run's answers read from a configuration file (TOML) instead of the console dialogue. Every
// key has a meaning, a unit, a default where the dialogue or the default set has one, and is
// checked by the same rule as the dialogue's question; a value that breaks it is refused with
// the key, the value, where it was set and the range.
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv {

// A configuration that cannot run: nothing has been written when it is thrown.
class ConfigError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Command { Render, Continue };

enum class KeyKind { Integer, Real, Flag, Text };

struct KeyInfo {
    const char* name;
    KeyKind kind;
    const char* defaultValue;  // TOML text of the default; "" when the key must be given
    const char* unit;
    const char* range;
    const char* meaning;
};

// The keys of a command, in the order the dialogue asks them.
const std::vector<KeyInfo>& configKeys(Command command);
// The key reference: every key of both commands with meaning, unit, default and range.
std::string keyReference();
// The candidate nearest to `word` by edit distance.
std::string nearestOf(std::string_view word, const std::vector<std::string>& candidates);
// The valid key nearest to `key` by edit distance.
std::string nearestKey(Command command, std::string_view key);

class Config {
  public:
    using Value = std::variant<long long, double, bool, std::string>;

    // The file's keys, then each "key=value" of `overrides` in turn. Throws ConfigError.
    static Config fromFile(const std::string& path, Command command,
                           const std::vector<std::string>& overrides = {});
    static Config fromText(std::string_view text, const std::string& source, Command command,
                           const std::vector<std::string>& overrides = {});

    Command command() const { return command_; }
    const std::string& source() const { return source_; }
    // Given in the file or an override (a default does not count).
    bool given(std::string_view key) const;
    // The value of `key`, its default when not given; `accept` is the dialogue's rule and
    // `refusal` its message naming the range.
    int integer(std::string_view key, const std::function<bool(int)>& accept = {},
                std::string_view refusal = {}) const;
    double real(std::string_view key, const std::function<bool(double)>& accept = {},
                std::string_view refusal = {}) const;
    bool flag(std::string_view key) const;
    std::string text(std::string_view key) const;
    // Refuses the value of `key` for `why`, naming key, value and where it was set.
    [[noreturn]] void reject(std::string_view key, std::string_view why) const;
    // Every key of the command with the value in force, defaults filled in, as TOML; keys that
    // have no default and were not given are left out.
    std::string resolved() const;

  private:
    struct Entry {
        Value value;
        std::string origin;  // "file, line n", "--set" or "default"
    };
    Config(Command command, std::string source) : command_(command), source_(std::move(source)) {}
    const Entry& entry(std::string_view key) const;
    void set(const KeyInfo& info, const Value& value, const std::string& origin);
    void applyOverride(const std::string& assignment);

    Command command_;
    std::string source_;
    std::map<std::string, Entry, std::less<>> given_;
    mutable std::map<std::string, Entry, std::less<>> defaults_;
};

// A value in the form the configuration file writes it.
std::string tomlValue(const Config::Value& value);

}  // namespace qv

namespace qv {

// One question of a set-up: from `config` when there is one (checked by the same rule), else
// asked on the console.
template <class T>
T answer(const Config* config, std::string_view key, std::string_view prompt,
         const std::function<bool(T)>& accept = {}, std::string_view refusal = {});

}  // namespace qv
