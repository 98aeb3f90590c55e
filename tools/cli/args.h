// Command-line flags: "--name", "--name VALUE", "--name=VALUE", short aliases
// such as "-o FILE", and "--" to end the flags.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tlcli {

struct FlagSpec {
    enum class Arity { None, Value, Optional };
    std::string name;  // "--since"
    Arity arity = Arity::None;
    std::string value;  // placeholder shown in help: "DATE"
    std::string help;
    std::string alias;  // "-o", or empty

    FlagSpec(std::string n, Arity a, std::string v, std::string h, std::string al = "")
        : name(std::move(n)),
          arity(a),
          value(std::move(v)),
          help(std::move(h)),
          alias(std::move(al)) {}
};

class Args {
  public:
    std::vector<std::string> positional;

    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    // The value given last (a flag may be repeated; the last one wins).
    std::optional<std::string> Value(const std::string& name) const;
    std::string Get(const std::string& name, const std::string& fallback) const;
    // A decimal integer in [min, max]; a missing flag gives the fallback.
    long long Int(const std::string& name, long long fallback, long long min, long long max) const;

    void Set(const std::string& name, std::string value) { values_[name] = std::move(value); }
    // Takes the other's flags (they win) and appends its positionals.
    void Merge(const Args& other) {
        for (const auto& [k, v] : other.values_) values_[k] = v;
        positional.insert(positional.end(), other.positional.begin(), other.positional.end());
    }

  private:
    std::map<std::string, std::string> values_;
};

// Parses tokens against the known flags; unknown flags and missing values
// raise UsageError. A flag with an optional value takes the next token when
// `takesOptional` accepts it (and the token is not itself a flag).
Args ParseArgs(const std::vector<std::string>& tokens, const std::vector<FlagSpec>& specs,
               const std::function<bool(const std::string&)>& takesOptional = nullptr);

// Strict decimal integer in [min, max]; says what was wrong in *error.
std::optional<long long> ParseInt(const std::string& text, long long min, long long max,
                                  std::string* error);

}  // namespace tlcli
