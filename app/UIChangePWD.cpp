#include "app/UIChangePWD.h"

#include "Core/SDK/KAVBizSDK.h"
#include "app/AccountScreenKit.h"
#include "platform/Dispatch.h"
#include "platform/ui/Button.h"
#include "platform/ui/SegmentedControl.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVProgressHUD.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIViewAdditions.h"

using namespace platform::ui;
using accountkit::localized;

UIChangePWD::UIChangePWD() : __sysDB(std::make_shared<sysDB>()) {}

void UIChangePWD::makeView() {
    setTitle(localized(kTitle));
    SettingsScreen::makeView();

    header_ = std::make_shared<UIView>(CGRectMake(0, 0, view()->bounds().size.width, 70));
    auto type = std::make_shared<UISegmentedControl>(
        std::vector<std::string>{localized("登录密码"), localized("资金密码")});
    type->setTag(kTagType);
    type->setTitleFont(UIFont::systemFontOfSize(16));
    type->setSelectedSegmentIndex(0);
    type->addTarget(weakSelf<UIChangePWD>(), &UIChangePWD::pwdTypeChange,
                    UIControlEventValueChanged);
    header_->addSubview(type);

    footer_ = std::make_shared<UIView>(CGRectMake(0, 0, view()->bounds().size.width, 100));
    auto confirm = std::make_shared<UIButton>();
    confirm->setTag(kTagConfirm);
    confirm->setTitle(localized("确认"), UIControlStateNormal);
    confirm->setTitleColor(kavtheme::secondaryText(), UIControlStateNormal);
    confirm->setBackgroundColor(kavtheme::confirmButton());
    confirm->layer().setCornerRadius(kavtheme::kButtonCornerRadius);
    confirm->addTarget(weakSelf<UIChangePWD>(), &UIChangePWD::buttonPressed,
                       UIControlEventTouchUpInside);
    footer_->addSubview(confirm);

    viewDidLayoutSubviews();
    _list->setTableHeaderView(header_);
    _list->setTableFooterView(footer_);
}

void UIChangePWD::viewDidLayoutSubviews() {
    const CGRect b = view()->bounds();
    SettingsScreen::viewDidLayoutSubviews();
    // The table places its header and footer; only their widths follow the view.
    UIViewAdditions::setWidth(*header_, b.size.width);
    header_->viewWithTag(kTagType)->setFrame(CGRectMake(10, 20, b.size.width - 20, 30));
    UIViewAdditions::setWidth(*footer_, b.size.width);
    footer_->viewWithTag(kTagConfirm)->setFrame(CGRectMake(20, 20, b.size.width - 40, 50));
    if (auto dimmer = view()->viewWithTag(kTagDimmer)) dimmer->setFrame(b);
}

void UIChangePWD::makeCell() {
    _cells.clear();
    const std::pair<const char*, int> rows[] = {
        {"旧密码", kTagOld}, {"输入新密码", kTagNew}, {"重复一次新密码", kTagRepeat}};
    for (const auto& [caption, tag] : rows) {
        auto cell = std::make_shared<CellTextField>(localized(caption), tag, "");
        cell->delegate = weakSelf<SettingDelegate>();
        cell->txtField()->setSecureTextEntry(true);
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
        _cells.push_back(std::move(cell));
    }
}

CellTextField* UIChangePWD::cellWithTag(int tag) const {
    for (const auto& cell : _cells)
        if (cell->tag() == tag) return cell.get();
    return nullptr;
}

void UIChangePWD::onValueChange(const std::string& value, int Tag) {
    switch (Tag) {
        case kTagOld:
            _oldPwd = value;
            break;
        case kTagNew:
            _newPwd = value;
            break;
        case kTagRepeat:
            _repPWD = value;
            break;
        default:
            break;
    }
}

void UIChangePWD::pwdTypeChange(UIControl* sender) {
    if (auto* type = dynamic_cast<UISegmentedControl*>(sender))
        pwdType_ = static_cast<int>(type->selectedSegmentIndex()) + 1;
}

void UIChangePWD::buttonPressed(UIControl* sender) {
    if (!sender) return;
    if (sender->tag() == kTagBack) {
        __sysDB->loadSetting();
        SettingsScreen::buttonPressed(sender);
        return;
    }
    if (sender->tag() != kTagConfirm) return;
    // A row never edited equals nothing; an empty password is no password.
    if (!_newPwd || !_repPWD || *_newPwd != *_repPWD || _newPwd->empty()) {
        KAVAlertView::showAlertWithTitle(localized(kNotice), localized(kMismatch));
        return;
    }
    for (int tag : {kTagOld, kTagNew, kTagRepeat})
        if (auto* cell = cellWithTag(tag)) cell->txtField()->resignFirstResponder();
    makeOrderWith(cellWithTag(kTagNew)->txtField()->text(),
                  cellWithTag(kTagOld)->txtField()->text());
}

void UIChangePWD::makeOrderWith(const std::string& newPWD, const std::string& oldPWD) {
    auto sdk = bizSDK();
    if (!sdk) return;
    auto dimmer = std::make_shared<UIView>(view()->bounds());
    dimmer->setTag(kTagDimmer);
    dimmer->setBackgroundColor(UIColor::colorWithWhite(0, 0.5));
    view()->addSubview(dimmer);

    KAVProgressHUD::showWithStatus(localized(kSubmitting), KAVProgressHUDMaskTypeBlack);
    auto weak = weakSelf<UIChangePWD>();
    auto guard = std::make_shared<UnansweredGuard>();
    guard->screen = weak;
    sdk->passwordChange(
        newPWD, pwdType_, oldPWD,
        [weak, guard] {
            guard->answered = true;
            // The overlay goes whether or not the screen is still there.
            KAVProgressHUD::dismissWithComplete([weak] {
                if (auto self = weak.lock()) self->showSuccess();
            });
        },
        [weak, guard](const std::string&, const std::string& message) {
            guard->answered = true;
            KAVProgressHUD::dismissWithComplete([weak, message] {
                if (auto self = weak.lock()) self->showFailure(message);
            });
        });
}

UIChangePWD::UnansweredGuard::~UnansweredGuard() {
    if (answered) return;
    // The session ended with the change on its way and dropped both result
    // blocks: the overlay would stay up over whatever comes next and take
    // every touch. It goes, unless another screen's has taken its place.
    platform::dispatch::async_main([screen = screen] {
        if (KAVProgressHUD::isVisible() &&
            KAVProgressHUD::sharedView()->stringLabel()->text() == localized(kSubmitting))
            KAVProgressHUD::dismiss();
        if (auto self = screen.lock()) self->removeDimmer();
    });
}

void UIChangePWD::showSuccess() {
    auto weak = weakSelf<UIChangePWD>();
    KAVAlertView::showAlertWithTitle(localized(kNotice), localized(kDone), std::string("确定"),
                                     [weak](bool, long) {
                                         // Back to the account centre: the whole settings
                                         // stack closes.
                                         if (auto self = weak.lock())
                                             self->dismissViewControllerAnimated(true);
                                     });
}

void UIChangePWD::showFailure(const std::string& message) {
    removeDimmer();
    KAVAlertView::showAlertWithTitle(localized(kNotice), message);
}

void UIChangePWD::removeDimmer() {
    if (auto dimmer = view()->viewWithTag(kTagDimmer)) dimmer->removeFromSuperview();
}

long UIChangePWD::tableViewNumberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(_cells.size());
}

UITableViewCellPtr UIChangePWD::tableViewCellForRowAtIndexPath(UITableView*,
                                                               NSIndexPath indexPath) {
    // The rows are made once and kept, so what is typed survives scrolling.
    const auto row = static_cast<size_t>(indexPath.row);
    return row < _cells.size() ? _cells[row] : nullptr;
}
