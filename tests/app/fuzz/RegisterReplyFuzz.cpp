// Fuzz target: the replies of the demo-registration and password-reset
// services. Input: the reply body. Checks: a body is readable exactly when
// it is a JSON object; nothing of an unreadable one is taken; a retCode of
// 0 or "0" is a success, a whole number other than 0 is not; a message
// that is text is shown as it came.
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
    if (readable != (json && json->is_object())) std::abort();
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
