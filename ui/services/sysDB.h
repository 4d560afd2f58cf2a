#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Json.h"
#include "platform/ui/Image.h"
#include "platform/ui/Text.h"

namespace platform {
class UserDefaults;
}

// The settings tags: each setting is kept as a text under "key_<tag>".
namespace settingTag {
inline constexpr int isLockSceen = 2001;
inline constexpr int autoConnect = 2002;
inline constexpr int timeOut = 2003;
inline constexpr int isFlashOrder = 2004;
inline constexpr int isKeepAccount = 2005;
inline constexpr int changePassword = 2006;  // a settings row only; nothing is kept
inline constexpr int pointMove = 2007;
inline constexpr int orderQuantity = 2008;
inline constexpr int shakeValue = 2009;
inline constexpr int trUid = 3001;
inline constexpr int dealerKey = 3003;
inline constexpr int loginSRV = 3005;
}  // namespace settingTag

// Posted (no object) every time a settings store has loaded the settings.
inline constexpr const char* kNoticeSettingsLoaded = "sys_4008";

// The typed copy of the settings that screens read. Only the store writes it.
struct modSetting {
    bool isLockSceen = false;
    bool autoConnect = false;
    bool isFlashOrder = false;
    bool isKeepAccount = false;
    int32_t timeOut = 0;
    int32_t pointMove = 0;
    float orderQuantity = 0.0f;
    int32_t shakeValue = 0;
    int32_t loginSRV = 0;
    std::string trUid;
    std::string dealerKey;
    std::string deviceName;
};

// The settings store: the settings as texts in the user-defaults store, a
// typed copy in `setting`, and the selected dealer's label table. Not a
// single shared instance: every store reads the same user-defaults entries,
// each has its own model and label table. Main thread only.
class sysDB {
  public:
    // Takes the standard user-defaults store and loads the settings (which
    // posts "sys_4008"). The label table stays empty.
    sysDB();
    virtual ~sysDB();
    sysDB(const sysDB&) = delete;
    sysDB& operator=(const sysDB&) = delete;

    // The text stored for the tag, read afresh, or `defaultValue`.
    virtual std::string valueWithTag(int tag, const std::string& defaultValue) const;
    // The number stored for the tag, read afresh as `setting`'s numbers are
    // (leading blanks skipped, held to 32 bits); 0 when there is none.
    int32_t integerWithTag(int tag) const;
    // A stored text read as a number the way the store reads one (leading
    // blanks skipped, held to 32 bits, 0 when there is none), for views that
    // show a stored value they were handed as text.
    static int32_t integerOfText(std::string_view text);
    // Stores the text under the tag, saves the store's file at once (the wait
    // for the disk follows within the settings store's delay, so that a text
    // stored key by key does not wait for the disk at every key) and copies
    // the value into `setting` by the tag's parse rule; the dealer key (3003)
    // also loads that dealer's label table. Posts nothing: callers that want
    // the change announced call loadSetting().
    void setValue(const std::string& value, int tag);
    // Reads every setting (stored text or default) into `setting`, then posts
    // "sys_4008". Does not touch the label table.
    void loadSetting();
    // Replaces the label table with the dealer's file DealerDEF/<key>.json
    // from the bundle; empty when there is none, it does not parse as a JSON
    // object, or the key is not a safe file name.
    void loadLabelWithKey(const std::string& dealerKey);
    // The dealer's caption for `key`, or `defaultValue`.
    std::string getLabelWithKey(const std::string& key, const std::string& defaultValue) const;

    const std::shared_ptr<modSetting>& setting() const { return setting_; }
    void setSetting(std::shared_ptr<modSetting> setting) { setting_ = std::move(setting); }
    const std::string& deviceName() const { return deviceName_; }
    bool isOnline() const { return isOnline_; }
    void setIsOnline(bool online) { isOnline_ = online; }

    // The value with exactly `decimals` decimals (held to 0..15).
    static std::string formatPrice(double value, int decimals);
    // The size the text takes in the font, on one line per paragraph;
    // (0, 0) for no text.
    static platform::ui::CGSize widthOfString(std::string_view text,
                                              const platform::ui::UIFont& font);
    // True only for zero and subnormal values.
    static bool isZero(double value);
    static float MinWithValue1(float a, float b);
    static float MaxWithValue1(float a, float b);
    // The moment (seconds since 1970) written with the pattern (yyyy MM dd HH
    // mm ss) in the local time zone.
    static std::string Epoch2Date(int64_t seconds, std::string_view pattern);
    // "yyyy-MM-dd HH:mm:ss" in the local time zone to whole seconds since
    // 1970 (rounded down); 0 when the text does not match.
    static int64_t Date2Epoch(std::string_view text);
    // name@domain.tld with a top-level domain of 2 to 4 letters; texts over
    // 254 bytes are refused.
    static bool checkEmail(std::string_view text);
    // The device model for the machine identifier; nothing for one not in the
    // table.
    static std::optional<std::string> hw();
    static std::optional<std::string> hw(std::string_view identifier);
    // The kernel's machine identifier (uname).
    static std::string hardwareString();
    static bool isIPhone4();
    static bool isSimulator();
    // A copy of the image drawn at `scale` times its size in points, one
    // pixel per point. Null for no image, a scale that is not a positive
    // number, or a result too large for a bitmap.
    static platform::ui::UIImagePtr scaleImage(const platform::ui::UIImagePtr& image, float scale);
    static std::string getCurrentVersion();
    // "<version> (<build>)".
    static std::string getCurrentFullVersion();

  private:
    platform::UserDefaults& settings_;
    std::optional<platform::Json> clientLabel_;
    bool isOnline_ = false;
    std::shared_ptr<modSetting> setting_;
    std::string deviceName_;
};
