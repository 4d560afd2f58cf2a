#include "Core/Biz/ReplyValues.h"

#include <charconv>

namespace reply {

std::optional<double> readableNumber(const platform::Json& object, std::string_view key) {
    const platform::Json* value = platform::jsonMember(object, key);
    if (!value) return std::nullopt;
    if (value->is_number()) {
        const double v = value->get<double>();
        return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    }
    if (!value->is_string()) return std::nullopt;
    std::string_view text = value->get_ref<const std::string&>();
    // Readable only where the record readers read the same number. They
    // take the leading number, so blanks after it do not matter; but a blank
    // in front of it, or a second sign after a "+", makes them read 0, and
    // that 0 would replace what a field not sent readably keeps.
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && (text.front() == '+' || text.front() == '-')))
        return std::nullopt;
    double v = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

}  // namespace reply
