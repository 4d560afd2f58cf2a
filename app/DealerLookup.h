#pragma once

#include <string>
#include <string_view>

// The addresses a dealer lookup may go to. Only what could name a dealer
// goes out: a typed key of address-safe characters, or a scanned http or
// https address; anything else is refused before a request is made.
namespace dealerlookup {

// A key made only of letters, digits and "._~-" (not empty).
bool isDealerKey(std::string_view key);
// "<base>/getdealer.php?key=<key>", the key percent-encoded.
std::string lookupURL(const std::string& base, const std::string& key);
// An http or https address with a host and without blanks or control
// characters.
bool isLookupAddress(std::string_view text);

}  // namespace dealerlookup
