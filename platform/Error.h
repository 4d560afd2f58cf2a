#pragma once

#include <map>
#include <string>
#include <variant>

namespace platform {

// A reported failure: a domain naming the layer that failed, an integer code
// within that domain, a readable description and optional extra values.
struct Error {
    using Value = std::variant<long long, std::string>;

    std::string domain;
    long code = 0;
    std::string localizedDescription;
    std::map<std::string, Value> userInfo;

    Error() = default;
    Error(std::string domain_, long code_, std::string description)
        : domain(std::move(domain_)), code(code_), localizedDescription(std::move(description)) {}
};

}  // namespace platform
