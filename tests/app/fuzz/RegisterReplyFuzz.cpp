// Fuzz target: the replies of the demo-registration and password-reset
// services. Input: the reply body. Checks: a body is readable exactly when
// it is a JSON object whose retCode is a whole number or its text; nothing
// of an unreadable one is taken; a retCode of 0 or "0" is a success, a whole
// number other than 0 is not; a message that is text is shown as it came.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/RegisterService.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "tests/support/FuzzQuiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavtest::quietLogForFuzzing();
    const std::string body(reinterpret_cast<const char*>(data), size);
    registerservice::Reply reply;
    reply.retCode = -12345;
    const bool readable = registerservice::parseReply(body, reply);
    const auto json = platform::parseJson(body);
    const bool object = json && json->is_object();
    // A code that is no whole number (nor its text) makes the reply unreadable.
    bool wholeCode = false;
    if (object) {
        if (const auto code = json->find("retCode"); code != json->end()) {
            if (code->is_number_integer() || code->is_number_unsigned()) wholeCode = true;
            if (code->is_number_float())
                wholeCode = std::isfinite(code->get<double>()) &&
                            code->get<double>() == std::trunc(code->get<double>());
            if (code->is_string()) {
                const std::string& t = code->get_ref<const std::string&>();
                const size_t sign = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
                wholeCode =
                    t.size() > sign && t.find_first_not_of("0123456789", sign) == std::string::npos;
            }
        }
    }
    if (readable != (object && wholeCode)) std::abort();
    if (!readable) {
        // Nothing of an unreadable reply is taken.
        if (reply.retCode != -12345 || !reply.message.empty()) std::abort();
        return 0;
    }
    if (const auto code = json->find("retCode"); code != json->end()) {
        if ((*code == 0 || *code == "0") && reply.retCode != 0) std::abort();
        if (code->is_number_integer() && *code != 0 && reply.retCode == 0) std::abort();
    }
    if (const auto message = json->find("message");
        message != json->end() && message->is_string() &&
        reply.message != message->get<std::string>())
        std::abort();
    return 0;
}
