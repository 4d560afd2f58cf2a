#include "app/UIOptional.h"

#include "app/AccountScreenKit.h"
#include "app/UIChangePWD.h"
#include "app/UIShakeSet.h"
#include "app/UITextInput.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/CellDetail.h"
#include "ui/toolkit/CellSlider.h"
#include "ui/toolkit/CellSwitch.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;
using accountkit::localized;

namespace {

// The defaults of the rows, as the settings store has them.
constexpr const char* kDefaultLock = "1";
constexpr const char* kDefaultReconnect = "1";
constexpr const char* kDefaultTimeOut = "10";
constexpr const char* kDefaultFlashOrder = "0";
constexpr const char* kDefaultKeepAccount = "1";
constexpr const char* kDefaultPointMove = "5";
constexpr const char* kDefaultQuantity = "1";
constexpr const char* kDefaultShake = "0";
constexpr int32_t kTimeOutMin = 5;
constexpr int32_t kTimeOutMax = 25;
// The characters of a changed value that its log line shows.
constexpr size_t kLoggedValueLength = 64;

std::string fill(const std::string& format, const std::string& text) {
    std::string out = format;
    if (auto at = out.find("%@"); at != std::string::npos) out.replace(at, 2, text);
    return out;
}

}  // namespace

UIOptional::UIOptional() = default;

std::string UIOptional::stored(int tag, const std::string& defaultValue) const {
    return __sysDB ? __sysDB->valueWithTag(tag, defaultValue) : defaultValue;
}

std::string UIOptional::shakeCaption(int32_t value) const {
    if (value < 0 || value >= static_cast<int32_t>(_shakeCaption.size())) return _shakeCaption[0];
    return _shakeCaption[static_cast<size_t>(value)];
}

int32_t UIOptional::storedShake() const {
    // Read as the shake itself reads it, so that the row names the screen a
    // shake opens (a stored " 2" opens the funds account).
    return __sysDB ? __sysDB->integerWithTag(settingTag::shakeValue) : 0;
}

void UIOptional::makeView() {
    if (!__sysDB) __sysDB = sysdb();
    const std::string limit = "限价单";
    _shakeCaption = {
        localized("关闭"), localized("进入报价牌"), localized("进入资金账户"),
        fill(localized("进入%@"), __sysDB ? __sysDB->getLabelWithKey(limit, limit) : limit)};
    SettingsScreen::makeView();
    setTitle(localized(kTitle));
}

void UIOptional::makeCell() {
    _sections.clear();
    _sections.push_back(makeBase());
    _sections.push_back(makeTrader());
    _sections.push_back(makeAccount());
}

UIViewPtr UIOptional::getHeadWithTitle(const std::string& title) {
    const CGFloat width = UIScreen::mainScreen().bounds().size.width;
    auto head = std::make_shared<UIView>(CGRectMake(0, 0, width, 40));
    auto label = std::make_shared<UILabel>(CGRectMake(10, 5, width, 30));
    label->setText(title);
    label->setTextColor(kavtheme::accent());
    label->setBackgroundColor(UIColor::clearColor());
    head->addSubview(label);
    return head;
}

std::shared_ptr<modTableViewSection> UIOptional::makeBase() {
    auto section = std::make_shared<modTableViewSection>();
    section->headView = getHeadWithTitle(localized("基本设置"));
    auto lock = std::make_shared<CellSwitch>(localized("禁止锁屏"), settingTag::isLockSceen,
                                             stored(settingTag::isLockSceen, kDefaultLock));
    auto reconnect =
        std::make_shared<CellSwitch>(localized("断网自动重连"), settingTag::autoConnect,
                                     stored(settingTag::autoConnect, kDefaultReconnect));
    auto timeOut = std::make_shared<CellSlider>(localized("超时等待"), settingTag::timeOut,
                                                stored(settingTag::timeOut, kDefaultTimeOut),
                                                kTimeOutMin, kTimeOutMax);
    for (SettingCell* cell :
         {static_cast<SettingCell*>(lock.get()), static_cast<SettingCell*>(reconnect.get()),
          static_cast<SettingCell*>(timeOut.get())})
        cell->delegate = weakSelf<SettingDelegate>();
    section->cells = {lock, reconnect, timeOut};
    return section;
}

std::shared_ptr<modTableViewSection> UIOptional::makeTrader() {
    auto section = std::make_shared<modTableViewSection>();
    section->headView = getHeadWithTitle(localized("操作设置"));
    const std::string flash = "一键市价下单";
    const std::string offset = "偏离点差";
    auto oneTap = std::make_shared<CellSwitch>(
        __sysDB ? __sysDB->getLabelWithKey(flash, flash) : flash, settingTag::isFlashOrder,
        stored(settingTag::isFlashOrder, kDefaultFlashOrder));
    oneTap->delegate = weakSelf<SettingDelegate>();
    auto pointMove = std::make_shared<CellDetail>(
        fill(localized("默认允许%@"), __sysDB ? __sysDB->getLabelWithKey(offset, offset) : offset),
        settingTag::pointMove, stored(settingTag::pointMove, kDefaultPointMove));
    auto quantity =
        std::make_shared<CellDetail>(localized("默认建仓数量"), settingTag::orderQuantity,
                                     stored(settingTag::orderQuantity, kDefaultQuantity));
    auto shake = std::make_shared<CellDetail>(localized("摇一摇"), settingTag::shakeValue,
                                              shakeCaption(storedShake()));
    section->cells = {oneTap, pointMove, quantity, shake};
    return section;
}

std::shared_ptr<modTableViewSection> UIOptional::makeAccount() {
    auto section = std::make_shared<modTableViewSection>();
    section->headView = getHeadWithTitle(localized("账户设置"));
    auto keep =
        std::make_shared<CellSwitch>(localized("记住登录帐号"), settingTag::isKeepAccount,
                                     stored(settingTag::isKeepAccount, kDefaultKeepAccount));
    keep->delegate = weakSelf<SettingDelegate>();
    auto password =
        std::make_shared<CellDetail>(localized("修改密码"), settingTag::changePassword, "");
    password->delegate = weakSelf<SettingDelegate>();
    section->cells = {keep, password};
    return section;
}

UITableViewCell* UIOptional::cellWithTag(long tag) const {
    for (const auto& section : _sections)
        for (const auto& cell : section->cells)
            if (cell->tag() == tag) return cell.get();
    return nullptr;
}

void UIOptional::buttonPressed(UIControl* sender) {
    if (!sender || sender->tag() != kTagBack) return;
    if (__sysDB) __sysDB->loadSetting();
    if (accountkit::isDeviceLandscape()) return;
    dismissViewControllerAnimated(true);
}

void UIOptional::onValueChange(const std::string& value, int Tag) {
    // A text typed key by key comes here at every key: a long one is logged
    // cut, so that the log does not grow with the square of its length.
    std::string logged = platform::utf8Prefix(value, kLoggedValueLength);
    if (logged.size() < value.size()) logged += "…";
    platform::log(platform::stringf("Tag : %d - %s", Tag, logged.c_str()));
    if (!__sysDB) return;
    __sysDB->setValue(value, Tag);
    __sysDB->loadSetting();
    auto* row = dynamic_cast<CellDetail*>(cellWithTag(Tag));
    if (!row) return;
    switch (Tag) {
        case settingTag::pointMove:
            row->setValue(stored(Tag, kDefaultPointMove));
            break;
        case settingTag::orderQuantity:
            row->setValue(stored(Tag, kDefaultQuantity));
            break;
        case settingTag::shakeValue:
            row->setValue(shakeCaption(storedShake()));
            break;
        default:
            break;
    }
}

void UIOptional::onCellSelected(UITableViewCell* cell) {
    auto* nav = navigationController();
    if (!cell || !nav) return;
    auto* detail = dynamic_cast<CellDetail*>(cell);
    const std::string offset = "偏离点差";
    switch (cell->tag()) {
        case settingTag::changePassword: {
            auto screen = std::make_shared<UIChangePWD>();
            screen->setContext(context());
            nav->pushViewController(screen, true);
            break;
        }
        case settingTag::pointMove: {
            const std::string label = __sysDB ? __sysDB->getLabelWithKey(offset, offset) : offset;
            auto editor = std::make_shared<UITextInput>(
                settingTag::pointMove, fill(localized("设置默认%@"), label),
                fill(localized("默认%@"), label), detail ? detail->Value() : "");
            editor->setContext(context());
            editor->setSettingDelegate(weakSelf<SettingDelegate>());
            nav->pushViewController(editor, true);
            break;
        }
        case settingTag::orderQuantity: {
            auto editor = std::make_shared<UITextInput>(
                settingTag::orderQuantity, localized("设置默认交易数量"), localized("默认交易数量"),
                detail ? detail->Value() : "");
            editor->setContext(context());
            editor->setSettingDelegate(weakSelf<SettingDelegate>());
            nav->pushViewController(editor, true);
            break;
        }
        case settingTag::shakeValue: {
            auto editor = std::make_shared<UIShakeSet>(
                settingTag::shakeValue, stored(settingTag::shakeValue, kDefaultShake));
            editor->setContext(context());
            editor->setSettingDelegate(weakSelf<SettingDelegate>());
            nav->pushViewController(editor, true);
            break;
        }
        default:
            break;  // switches and the slider act in place
    }
}

UIViewPtr UIOptional::tableViewViewForHeaderInSection(UITableView*, long section) {
    if (section < 0 || section >= static_cast<long>(_sections.size())) return nullptr;
    return _sections[static_cast<size_t>(section)]->headView;
}

long UIOptional::numberOfSectionsInTableView(UITableView*) {
    return static_cast<long>(_sections.size());
}

long UIOptional::tableViewNumberOfRowsInSection(UITableView*, long section) {
    if (section < 0 || section >= static_cast<long>(_sections.size())) return 0;
    return static_cast<long>(_sections[static_cast<size_t>(section)]->cells.size());
}

UITableViewCellPtr UIOptional::tableViewCellForRowAtIndexPath(UITableView*, NSIndexPath indexPath) {
    auto cell = _sections[static_cast<size_t>(indexPath.section)]
                    ->cells[static_cast<size_t>(indexPath.row)];
    cell->selectionStyle = UITableViewCellSelectionStyle::None;
    return cell;
}

void UIOptional::tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath indexPath) {
    if (indexPath.section < 0 || indexPath.section >= static_cast<long>(_sections.size())) return;
    const auto& cells = _sections[static_cast<size_t>(indexPath.section)]->cells;
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(cells.size())) return;
    onCellSelected(cells[static_cast<size_t>(indexPath.row)].get());
}
