#include "tools/dealer-sim/Package.h"

#include <cmath>
#include <cstdio>
#include <set>

namespace dealersim {
namespace {

bool allDigits(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string typeName(const nlohmann::json& v) {
    return v.type_name();
}

}  // namespace

const std::string* Request::field(const std::string& key) const {
    auto it = data.find(key);
    return it == data.end() ? nullptr : &it->second;
}

const std::string* Request::childField(const std::string& key) const {
    if (!child) return nullptr;
    auto it = child->find(key);
    return it == child->end() ? nullptr : &it->second;
}

const std::string* Request::param(const std::string& key) const {
    for (const auto& [k, v] : parames)
        if (k == key) return &v;
    return nullptr;
}

ParseOutcome parseRequest(const std::string& text) {
    ParseOutcome out;
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const std::exception& e) {
        out.error = std::string("not JSON: ") + e.what();
        return out;
    }
    if (!doc.is_object()) {
        out.error = "the package is not a JSON object";
        return out;
    }
    if (auto it = doc.find("event"); it != doc.end() && it->is_string())
        out.event = it->get<std::string>();
    if (auto it = doc.find("msgOrder");
        it != doc.end() && it->is_string() && allDigits(it->get<std::string>()))
        out.msgOrder = it->get<std::string>();

    static const std::set<std::string> kHead = {"event", "token", "msgOrder", "encrypt", "data"};
    for (const auto& [key, value] : doc.items()) {
        if (!kHead.count(key)) {
            out.error = "unexpected member \"" + key + "\"";
            return out;
        }
    }
    Request req;
    for (const char* key : {"event", "token", "msgOrder", "encrypt"}) {
        auto it = doc.find(key);
        if (it == doc.end()) {
            out.error = std::string("missing member \"") + key + "\"";
            return out;
        }
        if (!it->is_string()) {
            out.error =
                std::string("member \"") + key + "\" is a " + typeName(*it) + ", not a string";
            return out;
        }
    }
    req.event = doc["event"].get<std::string>();
    req.token = doc["token"].get<std::string>();
    req.encrypt = doc["encrypt"].get<std::string>();
    req.msgOrderText = doc["msgOrder"].get<std::string>();
    if (!out.msgOrder) {
        out.error = "msgOrder \"" + req.msgOrderText + "\" is not a decimal number";
        return out;
    }
    req.msgOrder = std::stoi(req.msgOrderText);
    if (req.encrypt != "0" && req.encrypt != "1") {
        out.error = "encrypt \"" + req.encrypt + "\" is neither \"0\" nor \"1\"";
        return out;
    }
    auto dataIt = doc.find("data");
    if (dataIt == doc.end()) {
        out.error = "missing member \"data\"";
        return out;
    }
    if (!dataIt->is_object()) {
        out.error = "member \"data\" is a " + typeName(*dataIt) + ", not an object";
        return out;
    }
    for (const auto& [key, value] : dataIt->items()) {
        if (key == "children") {
            if (!value.is_array() || value.size() != 1 || !value[0].is_object()) {
                out.error = "\"children\" is not a list of one object";
                return out;
            }
            Fields child;
            for (const auto& [k, v] : value[0].items()) {
                if (!v.is_string()) {
                    out.error =
                        "children member \"" + k + "\" is a " + typeName(v) + ", not a string";
                    return out;
                }
                child[k] = v.get<std::string>();
            }
            req.child = std::move(child);
        } else if (key == "parames") {
            if (!value.is_array() || value.empty()) {
                out.error = "\"parames\" is not a non-empty list";
                return out;
            }
            for (const auto& cond : value) {
                if (!cond.is_object() || cond.size() != 3 || !cond.contains("operator") ||
                    !cond.contains("key") || !cond.contains("value") ||
                    !cond["operator"].is_string() || !cond["key"].is_string() ||
                    !cond["value"].is_string() || cond["operator"] != "and") {
                    out.error =
                        "a \"parames\" condition is not {operator \"and\", key, value} of strings";
                    return out;
                }
                req.parames.emplace_back(cond["key"].get<std::string>(),
                                         cond["value"].get<std::string>());
            }
        } else {
            if (!value.is_string()) {
                out.error =
                    "data member \"" + key + "\" is a " + typeName(value) + ", not a string";
                return out;
            }
            req.data[key] = value.get<std::string>();
        }
    }
    out.request = std::move(req);
    return out;
}

std::string numberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", value);
        return std::string(buf) == "-0" ? "0" : buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.12g", value);
    return buf;
}

Json stringifyNumbers(const Json& value) {
    if (value.is_number_integer()) return Json(std::to_string(value.get<long long>()));
    if (value.is_number()) return Json(numberText(value.get<double>()));
    if (value.is_object()) {
        Json out = Json::object();
        for (const auto& [k, v] : value.items())
            out[k] = stringifyNumbers(v);
        return out;
    }
    if (value.is_array()) {
        Json out = Json::array();
        for (const auto& v : value)
            out.push_back(stringifyNumbers(v));
        return out;
    }
    return value;
}

std::string renderPackage(const Reply& reply, bool numbersAsNumbers, bool dataAsGiven) {
    Json doc = Json::object();
    doc["event"] = reply.event;
    doc["token"] = "";
    if (numbersAsNumbers) {
        char* end = nullptr;
        long n = std::strtol(reply.msgOrder.c_str(), &end, 10);
        if (!reply.msgOrder.empty() && end && *end == '\0')
            doc["msgOrder"] = n;
        else
            doc["msgOrder"] = reply.msgOrder;
    } else {
        doc["msgOrder"] = reply.msgOrder;
    }
    doc["retCode"] = reply.retCode;
    doc["message"] = reply.message;
    doc["encrypt"] = reply.encrypt;
    doc["data"] = numbersAsNumbers || dataAsGiven ? reply.data : stringifyNumbers(reply.data);
    return doc.dump();
}

}  // namespace dealersim
