#include "Core/Biz/BizDealer.h"

#include "Core/Funs.h"
#include "Core/KAVFileIO.h"
#include "Core/httpQuery.h"
#include "platform/ImageCodec.h"
#include "platform/Strings.h"

using platform::Json;
using platform::stringf;

namespace {

constexpr const char* kDealerExists = "要添加的交易商已经存在";
constexpr const char* kReplyUnreadable = "查询返回内容解析失败。";
constexpr const char* kSaveFailed = "交易商信息保存失败";

void fail(const KAVFailureBlock& onFailure, const std::string& code, const std::string& message) {
    if (onFailure) onFailure(code, message);
}

}  // namespace

BizDealer::BizDealer(std::string serverURL) : IBiz(nullptr), serverURL_(std::move(serverURL)) {
    loadDealers();
}

bool BizDealer::addDealer(const std::shared_ptr<MODDealer>& dealer) {
    if (!dealer || dealer->dealerKey.empty()) return false;
    // The file as it stands: another directory object (a lookup under way)
    // may have rewritten it since this one read it.
    loadDealers();
    _dict[dealer->dealerKey] = dealer;
    return saveDealers();
}

bool BizDealer::removeDealer(const std::string& key) {
    loadDealers();
    _dict.erase(key);
    return saveDealers();
}

void BizDealer::getDealerWithKey(const std::string& key, DealersBlock onSuccess,
                                 KAVFailureBlock onFailure) {
    // The directory as the file holds it now: a dealer filed or removed
    // through another directory object since this one read it counts.
    if (isFiled(key)) {
        fail(onFailure, "1", kDealerExists);
        return;
    }
    // The key is the user's text: it travels as one query value, whatever it holds.
    const std::string url = stringf("%s/getdealer.php?key=%s", serverURL_.c_str(),
                                    httpQuery::encodeQueryValue(key).c_str());
    Funs::log(url);
    auto self = std::static_pointer_cast<BizDealer>(shared_from_this());
    httpQuery::asynGetWithUrl(
        url,
        [self, key, onSuccess, onFailure](const std::string& body) {
            self->onDealerReply(key, body, onSuccess, onFailure);
        },
        [onFailure](const std::string& status, const std::string& message) {
            Funs::log("Fail");
            fail(onFailure, status, message);
        });
}

void BizDealer::onDealerReply(const std::string& key, const std::string& body,
                              DealersBlock onSuccess, KAVFailureBlock onFailure) {
    DealerReply reply = readDealerReply(body);
    if (!reply.dealer) {
        fail(onFailure, reply.code, reply.message);
        return;
    }
    const auto dealer = std::move(reply.dealer);
    Funs::log(dealer->dealerKey);
    // The server may answer with the key of a dealer filed already (another
    // spelling of the key looked up, or another dealer altogether): adding a
    // dealer never replaces one, so such an answer is refused as the same
    // key typed again would be.
    if (isFiled(dealer->dealerKey)) {
        fail(onFailure, "1", kDealerExists);
        return;
    }

    // The images lie under the key that was looked up, whatever key the
    // record itself carries.
    const std::string iconName = stringf("%s_%s", key.c_str(), dealer->dealerIcon.c_str());
    const std::string logoName = stringf("%s_%s", key.c_str(), dealer->dealerLogo.c_str());
    // Key and names are path segments of the image address: a space, "&",
    // "#" or "/" in them must not change where the address leads.
    const auto segment = [](const std::string& text) { return httpQuery::encodeQueryValue(text); };
    const std::string iconURL = stringf("%s/%s/%s", serverURL_.c_str(), segment(key).c_str(),
                                        segment(dealer->dealerIcon).c_str());
    const std::string logoURL = stringf("%s/%s/%s", serverURL_.c_str(), segment(key).c_str(),
                                        segment(dealer->dealerLogo).c_str());
    for (const std::string* line : {&iconName, &logoName, &iconURL, &logoURL})
        Funs::log(*line);
    const std::string iconFile = imageFileName(key, dealer->dealerIcon);
    const std::string logoFile = imageFileName(key, dealer->dealerLogo);

    auto self = std::static_pointer_cast<BizDealer>(shared_from_this());
    const auto finish = [self, dealer, onSuccess, onFailure] {
        // Filed only once its images are in place, so that a failed lookup
        // leaves the directory as it was; kept whether or not anyone listens.
        // Into the file as it stands now, not as it stood when the lookup
        // began: other lookups and changes made meanwhile stay.
        if (self->isFiled(dealer->dealerKey)) {  // filed meanwhile, by another lookup
            fail(onFailure, "1", kDealerExists);
            return;
        }
        self->_dict[dealer->dealerKey] = dealer;
        if (!self->saveDealers()) {
            self->loadDealers();
            fail(onFailure, "1", kSaveFailed);
            return;
        }
        if (onSuccess) onSuccess(MODList<MODDealer>{dealer});
    };
    fetchImage(
        logoURL, logoFile,
        [self, iconURL, iconFile, finish, onFailure] {
            self->fetchImage(iconURL, iconFile, finish, onFailure);
        },
        onFailure);
}

void BizDealer::fetchImage(const std::string& url, const std::string& file,
                           std::function<void()> next, KAVFailureBlock onFailure) {
    if (file.empty()) {
        Funs::log(stringf("no file for %s", url.c_str()));
        next();
        return;
    }
    httpQuery::asynGetWithUrlBin(
        url,
        [file, next, onFailure](const std::string& bytes) {
            // Only a picture is kept: an error page served as 200 must not
            // stand in for the logo.
            if (!platform::image::isImage(bytes)) {
                fail(onFailure, "200", httpQuery::kFailMessage);
                return;
            }
            if (!KAVFileIO::saveFile(file, bytes)) {
                fail(onFailure, "1", kSaveFailed);
                return;
            }
            next();
        },
        [onFailure](const std::string& status, const std::string& message) {
            fail(onFailure, status, message);
        });
}

BizDealer::DealerReply BizDealer::readDealerReply(const std::string& body) {
    DealerReply out;
    const auto reply = platform::parseJson(body);
    if (!reply || !reply->is_object()) {
        out.code = "1";
        out.message = kReplyUnreadable;
        return out;
    }
    const std::string retCode = platform::jsonString(*reply, "retCode");
    Funs::log(stringf("OK - %s", retCode.c_str()));
    if (retCode != kKAVSuccessCode) {
        out.code = retCode;
        out.message = platform::jsonString(*reply, "message");
        return out;
    }
    const Json* data = platform::jsonMember(*reply, "data");
    out.dealer = data ? dealerFromDict(*data) : nullptr;
    if (!out.dealer) {
        out.code = "1";
        out.message = kReplyUnreadable;
    }
    return out;
}

bool BizDealer::isFiled(const std::string& key) {
    loadDealers();
    return _dict.count(key) > 0;
}

std::shared_ptr<MODDealer> BizDealer::getDealerWithKey(const std::string& key) const {
    const auto it = _dict.find(key);
    return it == _dict.end() ? nullptr : it->second;
}

const MODList<MODDealer>& BizDealer::getDealers() {
    _rows.clear();
    for (const auto& [key, dealer] : _dict)
        _rows.push_back(dealer);
    return _rows;
}

void BizDealer::loadDealers() {
    _dict.clear();
    const auto text = KAVFileIO::openFile(kDirectoryFile);
    if (!text) return;
    const auto directory = platform::parseJson(*text);
    const Json* children = directory ? platform::jsonMember(*directory, "children") : nullptr;
    if (!children || !children->is_array()) {
        Funs::log(stringf("%s: no dealer list", kDirectoryFile));
        return;
    }
    for (const Json& child : *children) {
        if (auto dealer = dealerFromDict(child)) _dict[dealer->dealerKey] = std::move(dealer);
    }
}

bool BizDealer::saveDealers() {
    Json children = Json::array();
    for (const auto& [key, dealer] : _dict)
        children.push_back(modToDict(*dealer));
    Json directory = Json::object();
    directory["children"] = std::move(children);
    return KAVFileIO::saveFile(kDirectoryFile, directory.dump());
}

Json BizDealer::modToDict(const MODDealer& dealer) {
    return Json{{"dealerKey", dealer.dealerKey},   {"dealerName", dealer.dealerName},
                {"dealerLogo", dealer.dealerLogo}, {"dealerIcon", dealer.dealerIcon},
                {"webService", dealer.webService}, {"hostDemo", dealer.hostDemo},
                {"hostReal", dealer.hostReal}};
}

std::shared_ptr<MODDealer> BizDealer::dealerFromDict(const Json& dict) {
    // Without its key a dealer cannot be filed: such an entry is no dealer.
    const std::string key = platform::jsonString(dict, "dealerKey");
    if (key.empty()) return nullptr;
    auto dealer = std::make_shared<MODDealer>();
    dealer->dealerKey = key;
    dealer->dealerName = platform::jsonString(dict, "dealerName");
    dealer->dealerIcon = platform::jsonString(dict, "dealerIcon");
    dealer->dealerLogo = platform::jsonString(dict, "dealerLogo");
    dealer->hostDemo = platform::jsonString(dict, "hostDemo");
    dealer->hostReal = platform::jsonString(dict, "hostReal");
    dealer->webService = platform::jsonString(dict, "webService");
    dealer->hasDemo = !dealer->hostDemo.empty();
    return dealer;
}

std::string BizDealer::imageFileName(const std::string& key, const std::string& name) {
    if (key.empty() || name.empty()) return {};
    // Spelled as in the image's address: a plain key or name stays as it is,
    // any other character becomes %XX, so that every key has a file name of
    // its own and none leads out of the documents folder.
    const std::string file =
        httpQuery::encodeQueryValue(key) + "_" + httpQuery::encodeQueryValue(name);
    if (file.size() > 255 || file.find("..") != std::string::npos) return {};
    return file;
}
