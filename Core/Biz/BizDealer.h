#pragma once

// The dealer directory: dealers kept in "dealersInfo.json" in the Documents
// folder, and the lookup of a new dealer on the dealer-definition server,
// which adds it to the directory with its logo and icon images. A plain web
// request: it uses no channel. Lives in a std::shared_ptr; a running lookup
// keeps it alive. Main thread only.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Core/Biz/IBiz.h"
#include "Core/KAVTypes.h"
#include "Core/Model/MODDealer.h"
#include "Core/WSPushMessage.h"
#include "platform/Json.h"

class BizDealer : public IBiz {
  public:
    using DealersBlock = std::function<void(const MODList<MODDealer>& dealers)>;

    static constexpr const char* kDirectoryFile = "dealersInfo.json";
    // The dealer-definition server of the built-in simulated dealer.
    static constexpr const char* kDefaultServer = "http://127.0.0.1:17806/dealer";

    // Loads the directory; lookups go to `serverURL` (no trailing slash).
    explicit BizDealer(std::string serverURL = kDefaultServer);

    const std::string& serverURL() const { return serverURL_; }

    // Files the record under its key (replacing the one there) and rewrites
    // the file; false for a record without a key or when the file could not
    // be written. This and every other change of the directory read the
    // file again first, so that changes made through another directory
    // object (a lookup finishing) are kept.
    bool addDealer(const std::shared_ptr<MODDealer>& dealer);
    // Removes the dealer and rewrites the file (also when the key was not
    // there); false when the file could not be written.
    bool removeDealer(const std::string& key);

    // Looks the key up on the server. A key already in the directory fails at
    // once with ("1", "要添加的交易商已经存在"), and so does an answer whose
    // own key is in it by then (nothing filed is ever replaced). Otherwise the dealer's record
    // is read, its logo and then its icon are downloaded from
    // "<server>/<key>/<name>" into the Documents folder under "<key>_<name>",
    // `key` being the key looked up (only images, and only for names that are
    // safe file names: any other name has no file), the directory is saved,
    // and the success block gets the one new record. Failures: the HTTP
    // status text and "数据请求失败！" for a failed request (also an image
    // download whose answer is no image); the server's retCode and message
    // for a refusal; ("1", "查询返回内容解析失败。") for a reply that is not
    // a dealer record; ("1", "交易商信息保存失败") when a file cannot be
    // written. Blocks run later on the main run loop, except the first
    // failure above.
    void getDealerWithKey(const std::string& key, DealersBlock onSuccess,
                          KAVFailureBlock onFailure);
    // The directory's record, or null.
    std::shared_ptr<MODDealer> getDealerWithKey(const std::string& key) const;
    // Every record, in key order.
    const MODList<MODDealer>& getDealers();

    // Reads the file into the directory (empty when there is none or it does
    // not parse; entries without a dealer key are skipped).
    void loadDealers();
    // Writes the directory over the file; true when the file was replaced.
    bool saveDealers();
    // The record with its seven texts under their keys.
    static platform::Json modToDict(const MODDealer& dealer);
    // The record of a directory entry or a lookup reply: each value as text,
    // hasDemo when there is a demo host.
    static std::shared_ptr<MODDealer> dealerFromDict(const platform::Json& dict);
    // What a lookup reply says: the record, or the failure's code and
    // message (the server's retCode and message, or "1" with
    // "查询返回内容解析失败。" for a reply that is not a dealer record).
    struct DealerReply {
        std::shared_ptr<MODDealer> dealer;
        std::string code;
        std::string message;
    };
    static DealerReply readDealerReply(const std::string& body);
    // "<key>_<name>", the local file of a dealer image, each part spelled as
    // in the image's address (other characters than letters, digits and
    // "-._~" as %XX); empty (no file) when that would hold "..".
    static std::string imageFileName(const std::string& key, const std::string& name);

  private:
    void onDealerReply(const std::string& key, const std::string& body, DealersBlock onSuccess,
                       KAVFailureBlock onFailure);
    // Whether the key is in the directory file as it stands now (read again).
    bool isFiled(const std::string& key);
    // Downloads the image into the file, then runs `next`. A name without a
    // file is skipped.
    void fetchImage(const std::string& url, const std::string& file, std::function<void()> next,
                    KAVFailureBlock onFailure);

    std::string serverURL_;
    MODList<MODDealer> _rows;
    std::map<std::string, std::shared_ptr<MODDealer>> _dict;
};
