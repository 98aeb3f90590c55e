#include "cli/args.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "cli/errors.h"

namespace tlcli {

std::optional<std::string> Args::Value(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::string Args::Get(const std::string& name, const std::string& fallback) const {
    auto v = Value(name);
    return v ? *v : fallback;
}

long long Args::Int(const std::string& name, long long fallback, long long min,
                    long long max) const {
    auto v = Value(name);
    if (!v) return fallback;
    std::string error;
    auto n = ParseInt(*v, min, max, &error);
    if (!n) throw UsageError(name + ": " + error);
    return *n;
}

std::optional<long long> ParseInt(const std::string& text, long long min, long long max,
                                  std::string* error) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    bool digits = i < text.size();
    for (std::size_t k = i; k < text.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) digits = false;
    if (!digits) {
        if (error) *error = "'" + text + "' is not a whole number";
        return std::nullopt;
    }
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v < min || v > max) {
        if (error)
            *error = "'" + text + "' is out of range (" + std::to_string(min) + " to " +
                     std::to_string(max) + ")";
        return std::nullopt;
    }
    return v;
}

Args ParseArgs(const std::vector<std::string>& tokens, const std::vector<FlagSpec>& specs,
               const std::function<bool(const std::string&)>& takesOptional) {
    Args args;
    auto find = [&](const std::string& name) -> const FlagSpec* {
        for (const auto& s : specs)
            if (s.name == name || (!s.alias.empty() && s.alias == name)) return &s;
        return nullptr;
    };
    bool flagsDone = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& tok = tokens[i];
        if (flagsDone || tok.size() < 2 || tok[0] != '-' ||
            std::isdigit(static_cast<unsigned char>(tok[1]))) {
            args.positional.push_back(tok);  // includes negative numbers such as -1
            continue;
        }
        if (tok == "--") {
            flagsDone = true;
            continue;
        }
        std::string name = tok;
        std::optional<std::string> inlineValue;
        if (auto eq = tok.find('='); eq != std::string::npos && tok.rfind("--", 0) == 0) {
            name = tok.substr(0, eq);
            inlineValue = tok.substr(eq + 1);
        }
        const FlagSpec* plan = find(name);
        if (!plan) throw UsageError("unknown option " + name);
        switch (plan->arity) {
            case FlagSpec::Arity::None:
                if (inlineValue) throw UsageError(plan->name + " takes no value");
                args.Set(plan->name, "");
                break;
            case FlagSpec::Arity::Value:
                if (inlineValue) {
                    args.Set(plan->name, *inlineValue);
                } else {
                    if (i + 1 >= tokens.size())
                        throw UsageError(plan->name + " needs a value (" + plan->value + ")");
                    args.Set(plan->name, tokens[++i]);
                }
                break;
            case FlagSpec::Arity::Optional:
                if (inlineValue) {
                    args.Set(plan->name, *inlineValue);
                } else if (i + 1 < tokens.size() && !tokens[i + 1].empty() &&
                           tokens[i + 1][0] != '-' && takesOptional &&
                           takesOptional(tokens[i + 1])) {
                    args.Set(plan->name, tokens[++i]);
                } else {
                    args.Set(plan->name, "");
                }
                break;
        }
    }
    return args;
}

}  // namespace tlcli
