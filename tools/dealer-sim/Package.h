#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace dealersim {

using Json = nlohmann::ordered_json;
using Fields = std::map<std::string, std::string>;

// A request package as the client renders it: exactly the members "event",
// "token", "msgOrder", "encrypt" and "data"; every value a string except the
// two structured data members "children" (one object of strings) and
// "parames" (a list of {operator "and", key, value} conditions).
struct Request {
    std::string event;
    std::string token;
    std::string encrypt;
    std::string msgOrderText;
    int msgOrder = 0;
    Fields data;                  // the plain string members of "data"
    std::optional<Fields> child;  // the object of "children", when present
    std::vector<std::pair<std::string, std::string>> parames;

    // The member of "data", or nullptr.
    const std::string* field(const std::string& key) const;
    // The member of the "children" object, or nullptr.
    const std::string* childField(const std::string& key) const;
    // The value of a "parames" condition, or nullptr.
    const std::string* param(const std::string& key) const;
};

struct ParseOutcome {
    std::optional<Request> request;  // set when the text is a well-formed package
    std::string error;               // why it is not
    std::string event;               // whatever could be read, for the log and a refusal
    std::optional<std::string> msgOrder;
};

// Strict parse of a received text.
ParseOutcome parseRequest(const std::string& text);

// Number text of a reply value: integers without a fraction, other values in
// their shortest form of at most 12 significant digits.
std::string numberText(double value);

// Replaces every JSON number in the value by its text (the dealer's usual
// rendering; with `numbersAsNumbers` the caller skips this).
Json stringifyNumbers(const Json& value);

struct Reply {
    std::string event;
    std::string msgOrder;  // decimal text
    std::string retCode = "0";
    std::string message;
    std::string encrypt = "1";
    Json data = Json::object();
};

// Renders a reply or push package. With `numbersAsNumbers` the message order
// and every numeric record value go out as JSON numbers, otherwise as strings.
// With `dataAsGiven` the data object goes out untouched.
std::string renderPackage(const Reply& reply, bool numbersAsNumbers, bool dataAsGiven = false);

}  // namespace dealersim
