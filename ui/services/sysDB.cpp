#include "ui/services/sysDB.h"

#include <sys/utsname.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <utility>

#include "platform/Bundle.h"
#include "platform/Dates.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Bundle.h"
#include "ui/services/ioFile.h"

namespace {

std::string keyOfTag(int tag) {
    return platform::stringf("key_%d", tag);
}

// Numbers are read as the platform's string conversions read them: leading
// white space skipped, the longest numeric prefix, 0 when there is none.
std::string_view skipSpace(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    return text.substr(i);
}

int32_t intValue(std::string_view text) {
    const long long value = platform::leadingInteger(skipSpace(text));
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

float floatValue(std::string_view text) {
    const double value = platform::leadingDouble(skipSpace(text));
    if (value > FLT_MAX) return HUGE_VALF;
    if (value < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(value);
}

bool boolValue(std::string_view text) {
    return text == "1";
}

// Copies a stored text into the model by the tag's parse rule; false for a
// tag that has no field.
bool applyTag(modSetting& setting, int tag, const std::string& text) {
    switch (tag) {
        case settingTag::isLockSceen:
            setting.isLockSceen = boolValue(text);
            break;
        case settingTag::autoConnect:
            setting.autoConnect = boolValue(text);
            break;
        case settingTag::timeOut:
            setting.timeOut = intValue(text);
            break;
        case settingTag::isFlashOrder:
            setting.isFlashOrder = boolValue(text);
            break;
        case settingTag::isKeepAccount:
            setting.isKeepAccount = boolValue(text);
            break;
        case settingTag::pointMove:
            setting.pointMove = intValue(text);
            break;
        case settingTag::orderQuantity:
            setting.orderQuantity = floatValue(text);
            break;
        case settingTag::shakeValue:
            setting.shakeValue = intValue(text);
            break;
        case settingTag::trUid:
            setting.trUid = text;
            break;
        case settingTag::dealerKey:
            setting.dealerKey = text;
            break;
        case settingTag::loginSRV:
            setting.loginSRV = intValue(text);
            break;
        default:
            return false;
    }
    return true;
}

// Every setting with its default, in the order loadSetting() reads them.
constexpr std::pair<int, const char*> kLoadOrder[] = {
    {settingTag::isLockSceen, "1"},   {settingTag::autoConnect, "1"},
    {settingTag::timeOut, "10"},      {settingTag::isFlashOrder, "0"},
    {settingTag::pointMove, "5"},     {settingTag::orderQuantity, "1"},
    {settingTag::isKeepAccount, "1"}, {settingTag::dealerKey, ""},
    {settingTag::shakeValue, "0"},    {settingTag::trUid, ""},
    {settingTag::loginSRV, "1"},
};

constexpr std::pair<const char*, const char*> kDevices[] = {
    {"iPhone1,1", "iPhone 2G"},
    {"iPhone1,2", "iPhone 3G"},
    {"iPhone2,1", "iPhone 3GS"},
    {"iPhone3,1", "iPhone 4"},
    {"iPhone3,2", "iPhone 4"},
    {"iPhone3,3", "iPhone 4 CDMA"},
    {"iPhone4,1", "iPhone 4S"},
    {"iPhone5,1", "iPhone 5"},
    {"iPhone5,2", "iPhone 5 CDMA GSM"},
    {"iPhone5,3", "iPhone 5C"},
    {"iPhone5,4", "iPhone 5C CDMA GSM"},
    {"iPhone6,1", "iPhone 5S"},
    {"iPhone6,2", "iPhone 5S CDMA GSM"},
    {"iPhone7,1", "iPhone 6 Plus"},
    {"iPhone7,2", "iPhone 6"},
    {"iPod1,1", "iPodTouch 1G"},
    {"iPod2,1", "iPodTouch 2G"},
    {"iPod3,1", "iPodTouch 3G"},
    {"iPod4,1", "iPodTouch 4G"},
    {"iPod5,1", "iPodTouch 5G"},
    {"iPad1,1", "iPad"},
    {"iPad1,2", "iPad 3G"},
    {"iPad2,1", "iPad 2 WIFI"},
    {"iPad2,2", "iPad 2"},
    {"iPad2,3", "iPad 2 CDMA"},
    {"iPad2,4", "iPad 2"},
    {"iPad2,5", "iPad Mini WIFI"},
    {"iPad2,6", "iPad Mini"},
    {"iPad2,7", "iPad Mini WIFI CDMA"},
    {"iPad3,1", "iPad 3 WIFI"},
    {"iPad3,2", "iPad 3 WIFI CDMA"},
    {"iPad3,3", "iPad 3"},
    {"iPad3,4", "iPad 4 WIFI"},
    {"iPad3,5", "iPad 4"},
    {"iPad3,6", "iPad 4 GSM CDMA"},
    {"iPad4,1", "iPad Air WIFI"},
    {"iPad4,2", "iPad Air CELLULAR"},
    {"iPad4,4", "iPad Mini 2G WIFI"},
    {"iPad4,5", "iPad Mini 2G CELLULAR"},
    {"i386", "Simulator"},
    {"x86_64", "Simulator"},
};

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

sysDB::sysDB()
    : settings_(platform::UserDefaults::standard()), setting_(std::make_shared<modSetting>()) {
    loadSetting();
}

sysDB::~sysDB() = default;

std::string sysDB::valueWithTag(int tag, const std::string& defaultValue) const {
    return settings_.stringForKey(keyOfTag(tag)).value_or(defaultValue);
}

int32_t sysDB::integerWithTag(int tag) const {
    return intValue(valueWithTag(tag, "0"));
}

int32_t sysDB::integerOfText(std::string_view text) {
    return intValue(text);
}

void sysDB::setValue(const std::string& value, int tag) {
    settings_.setString(keyOfTag(tag), value);
    settings_.synchronize();
    if (setting_) applyTag(*setting_, tag, value);
    if (tag == settingTag::dealerKey) loadLabelWithKey(value);
}

void sysDB::loadSetting() {
    if (!setting_) setting_ = std::make_shared<modSetting>();
    for (const auto& [tag, defaultValue] : kLoadOrder)
        applyTag(*setting_, tag, valueWithTag(tag, defaultValue));
    platform::NotificationCenter::defaultCenter().post(kNoticeSettingsLoaded);
}

void sysDB::loadLabelWithKey(const std::string& dealerKey) {
    clientLabel_.reset();
    // The key comes from the user or the network: bundle lookup only accepts
    // plain file names.
    const auto path = platform::bundle::resourcePathIn(
        platform::ui::NSBundle::mainBundle().bundlePath(), dealerKey, "json", "DealerDEF");
    const auto data = path ? ioFile::openFileFullPath(path->string()) : std::nullopt;
    if (!data) {
        platform::log(platform::stringf("未找到交易商【%s】定义文件", dealerKey.c_str()));
        return;
    }
    auto json = platform::parseJson(*data);
    if (json && json->is_object()) clientLabel_ = std::move(*json);
}

std::string sysDB::getLabelWithKey(const std::string& key, const std::string& defaultValue) const {
    if (!clientLabel_) return defaultValue;
    return platform::jsonText(*clientLabel_, key).value_or(defaultValue);
}

std::string sysDB::formatPrice(double value, int decimals) {
    // What "%.*f" writes (the exact binary value rounded to the decimals, a
    // tie to the even digit, in the C locale), without the cost of the printf
    // machinery: every price on the board is written through here on every
    // quote.
    const int places = std::clamp(decimals, 0, 15);
    // A price is exactly m / 2^shift (m below 2^53): m x 10^places fits in
    // 128 bits, so the rounding is done in whole numbers, with no table the
    // general conversion reads (a quote a frame apart finds it out of the
    // cache).
    // The whole number and the power of two are read from the double's bits
    // (a call into the maths library each, frexp and ldexp, would be code
    // fetched afresh at every quote). A zero is 0 / 2^53; a number below the
    // normal range needs more than 120 bits of shift and is left to to_chars.
    const double magnitude = std::fabs(value);
    const auto bits = std::bit_cast<uint64_t>(magnitude);
    const auto biased = static_cast<int>(bits >> 52);
    const uint64_t m = biased == 0 ? bits : (bits & ((uint64_t{1} << 52) - 1)) | uint64_t{1} << 52;
    const int shift = biased == 0 ? (m == 0 ? 53 : 1074) : 1075 - biased;
    if (std::isfinite(value) && magnitude < 0x1p53 && shift <= 120) {
        static constexpr uint64_t kPowers[] = {1,
                                               10,
                                               100,
                                               1000,
                                               10000,
                                               100000,
                                               1000000,
                                               10000000,
                                               100000000,
                                               1000000000,
                                               10000000000,
                                               100000000000,
                                               1000000000000,
                                               10000000000000,
                                               100000000000000,
                                               1000000000000000};
        using u128 = unsigned __int128;
        const u128 scaled = static_cast<u128>(m) * kPowers[places];
        u128 whole = scaled >> shift;
        if (shift > 0) {
            const u128 rest = scaled - (whole << shift);
            const u128 half = static_cast<u128>(1) << (shift - 1);
            if (rest > half || (rest == half && (whole & 1))) ++whole;
        }
        if (whole >> 64 == 0) {
            auto digits = static_cast<uint64_t>(whole);
            // Sign, up to 20 digits, a point and the leading zeros.
            char text[48];
            char* end = text + sizeof text;
            char* at = end;
            for (int i = 0; i < places; ++i) {
                *--at = static_cast<char>('0' + digits % 10);
                digits /= 10;
            }
            if (places > 0) *--at = '.';
            do {
                *--at = static_cast<char>('0' + digits % 10);
                digits /= 10;
            } while (digits);
            if (std::signbit(value)) *--at = '-';
            return std::string(at, end);
        }
    }
    // The largest double has 309 integer digits.
    char text[400];
    const auto written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, places);
    return std::string(text, written.ptr);
}

platform::ui::CGSize sysDB::widthOfString(std::string_view text, const platform::ui::UIFont& font) {
    return platform::ui::NSStringSizeWithFont(text, font);
}

bool sysDB::isZero(double value) {
    return std::fabs(value) < DBL_MIN;
}

float sysDB::MinWithValue1(float a, float b) {
    return a > b ? b : a;
}

float sysDB::MaxWithValue1(float a, float b) {
    return a > b ? a : b;
}

std::string sysDB::Epoch2Date(int64_t seconds, std::string_view pattern) {
    return platform::dates::format(static_cast<double>(seconds), pattern);
}

int64_t sysDB::Date2Epoch(std::string_view text) {
    const auto moment = platform::dates::parse(text, platform::dates::kDateTime);
    return moment ? static_cast<int64_t>(std::floor(*moment)) : 0;
}

bool sysDB::checkEmail(std::string_view text) {
    // The whole text must read [A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,4};
    // matched by hand in one pass, so no input can make the check run away.
    if (text.size() > 254) return false;
    const size_t at = text.find('@');
    if (at == 0 || at == std::string_view::npos) return false;
    for (char c : text.substr(0, at)) {
        const bool ok = isAsciiLetter(c) || isAsciiDigit(c) || c == '.' || c == '_' || c == '%' ||
                        c == '+' || c == '-';
        if (!ok) return false;
    }
    const std::string_view domain = text.substr(at + 1);
    for (char c : domain) {
        if (!(isAsciiLetter(c) || isAsciiDigit(c) || c == '.' || c == '-')) return false;
    }
    // The last dot ends the host part, which must not be empty; the letters
    // after it are the top-level domain.
    const size_t dot = domain.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    const std::string_view tld = domain.substr(dot + 1);
    return tld.size() >= 2 && tld.size() <= 4 && std::all_of(tld.begin(), tld.end(), isAsciiLetter);
}

std::optional<std::string> sysDB::hw() {
    return hw(hardwareString());
}

std::optional<std::string> sysDB::hw(std::string_view identifier) {
    for (const auto& [id, model] : kDevices) {
        if (identifier == id) return std::string(model);
    }
    return std::nullopt;
}

std::string sysDB::hardwareString() {
    utsname name{};
    if (uname(&name) != 0) return {};
    return name.machine;
}

bool sysDB::isIPhone4() {
    const auto model = hw();
    if (!model) return false;
    for (const char* old :
         {"iPhone 2G", "iPhone 3G", "iPhone 3GS", "iPhone 4", "iPhone 4 CDMA", "iPhone 4S"}) {
        if (*model == old) return true;
    }
    return false;
}

bool sysDB::isSimulator() {
    return hw() == "Simulator";
}

platform::ui::UIImagePtr sysDB::scaleImage(const platform::ui::UIImagePtr& image, float scale) {
    namespace ui = platform::ui;
    if (!image || !(scale > 0) || !std::isfinite(scale)) return nullptr;
    const ui::CGSize size{image->size().width * scale, image->size().height * scale};
    // The largest side a bitmap may have; beyond it nothing could be drawn.
    constexpr double kMaxSide = 32767;
    if (size.width > kMaxSide || size.height > kMaxSide) return nullptr;
    ui::UIGraphicsBeginImageContextWithOptions(size, false, 1);
    image->drawInRect(ui::CGRectMake(0, 0, size.width, size.height));
    auto scaled = ui::UIGraphicsGetImageFromCurrentImageContext();
    ui::UIGraphicsEndImageContext();
    return scaled;
}

std::string sysDB::getCurrentVersion() {
    return KAV_APP_VERSION;
}

std::string sysDB::getCurrentFullVersion() {
    return platform::stringf("%s (%s)", KAV_APP_VERSION, KAV_APP_BUILD);
}
