#include "app/AccountCenterViewController.h"

#include <algorithm>

#include "Core/SDK/KAVBizSDK.h"
#include "app/AccountScreenKit.h"
#include "app/AppConfig.h"
#include "app/DealerManager.h"
#include "app/UIAboutViewController.h"
#include "app/UIOptional.h"
#include "platform/Dispatch.h"
#include "platform/Files.h"
#include "platform/Strings.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/ImageUtils.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace {

constexpr size_t kRowVersion = 2;

std::shared_ptr<BaseViewController> makeScreen(const std::string& key) {
    if (key == AccountCenterViewController::kSettingsScreen) return std::make_shared<UIOptional>();
    if (key == AccountCenterViewController::kNoticeScreen)
        return std::make_shared<UIAboutViewController>();
    return nullptr;
}

}  // namespace

AccountCenterViewController::AccountCenterViewController(AppContext context)
    : BaseViewController(context),
      dealerStore_(std::move(context.dealerStore)),
      __sysDB(context.sysdb) {}

void AccountCenterViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    if (!__sysDB) __sysDB = sysdb();
    makeView();
}

std::string AccountCenterViewController::logoPath(const std::string& dealerKey,
                                                  const std::string& dealerLogo) {
    return platform::files::documentsRoot().string() + kLogoFolder + dealerKey + "_" + dealerLogo;
}

std::string AccountCenterViewController::logoURL(const std::string& base,
                                                 const std::string& dealerKey,
                                                 const std::string& dealerLogo) {
    return base + "/" + dealerKey + "/" + dealerLogo;
}

void AccountCenterViewController::makeView() {
    setEdgesForExtendedLayout(UIRectEdgeNone);
    setTitle(kTitle);
    if (auto* nav = navigationController()) {
        nav->navigationBar()->setBarStyle(UIBarStyle::Black);
        nav->navigationBar()->setBarTintColor(UIColor::grey255(60));
    }
    view()->setBackgroundColor(UIColor::grey255(230));

    const std::string ver = bizSDK() ? bizSDK()->ver() : std::string();
    arrTexts_ = {
        "系统设置", "风险提示",
        platform::stringf("版本号 : %s - %s", sysDB::getCurrentFullVersion().c_str(), ver.c_str())};
    arrIcons_ = {UIImageTintColor::imageWithTintColor(UIColor::grey255(180), "setting_icon"),
                 UIImageTintColor::imageWithTintColor(UIColor::grey255(180), "about_icon")};
    arrUIViewKey_ = {kSettingsScreen, kNoticeScreen};

    logo_ = std::make_shared<UIImageView>();
    logo_->setTag(kTagLogo);
    logo_->setContentMode(UIViewContentMode::ScaleAspectFit);
    view()->addSubview(logo_);
    loadLogo();

    list_ = std::make_shared<UITableView>(CGRectZero, UITableViewStyle::Plain);
    list_->setTag(kTagTable);
    list_->separatorInset = UIEdgeInsetsZero;
    list_->setDataSource(weakSelf<UITableViewDataSource>());
    list_->setDelegate(weakSelf<UITableViewDelegate>());
    view()->addSubview(list_);
    setEdgesForExtendedLayout(UIRectEdgeNone);

    footer_ = std::make_shared<UIView>(CGRectMake(0, 0, kDrawerWidth, 100));
    auto line = std::make_shared<UIView>(CGRectMake(0, 0, kDrawerWidth, 1));
    line->setBackgroundColor(UIColor::grey255(230));
    footer_->addSubview(line);
    auto logoutButton =
        std::make_shared<UIButton>(CGRectMake((kDrawerWidth - 200) / 2, 30, 200, 40));
    logoutButton->setTag(kTagLogout);
    logoutButton->setBackgroundColor(UIColor::rgb255(187, 46, 36));
    logoutButton->layer().setCornerRadius(5);
    logoutButton->setTitleColor(UIColor::grey255(220), UIControlStateNormal);
    const std::string account = __sysDB ? __sysDB->setting()->trUid : std::string();
    logoutButton->setTitle(platform::stringf("%s : %s", "注销", account.c_str()),
                           UIControlStateNormal);
    logoutButton->addTarget(
        [weak = weakSelf<AccountCenterViewController>()](UIControl*, UIEvent*) {
            if (auto self = weak.lock()) self->showCustomAlert();
        },
        UIControlEventTouchUpInside);
    footer_->addSubview(logoutButton);
    list_->setTableFooterView(footer_);
}

void AccountCenterViewController::loadLogo() {
    auto dealer = DealerManager(dealerStore_).getCurrentSelectedDealer();
    if (!dealer) return;
    ImageUtils::loadImage(
        logoPath(dealer->dealerKey, dealer->dealerLogo),
        logoURL(appconfig::dealerServiceBaseURL(), dealer->dealerKey, dealer->dealerLogo),
        [weak = weakSelf<AccountCenterViewController>()](const UIImagePtr& image) {
            // A logo that cannot be had leaves the place empty.
            auto self = weak.lock();
            if (self && image) self->logo_->setImage(image);
        });
}

void AccountCenterViewController::viewDidLayoutSubviews() {
    const CGRect b = view()->bounds();
    // As wide as the part of the screen the drawer shows (a full-width view
    // shows 60 points less).
    logo_->setFrame(CGRectMake(0, 10, std::min<CGFloat>(b.size.width, kDrawerWidth), kLogoHeight));
    const CGFloat top = CGRectGetMaxY(logo_->frame()) + 10;
    list_->setFrame(CGRectMake(0, top, b.size.width, b.size.height - kLogoHeight - 10));
}

void AccountCenterViewController::showCustomAlert() {
    auto weak = weakSelf<AccountCenterViewController>();
    KAVAlertView::showAlertWithTitle("退出提示", "确定要注销登录吗？", std::string("取消"),
                                     std::string("确定"), [weak](bool cancelled, long) {
                                         if (cancelled) return;
                                         if (auto self = weak.lock()) self->logout();
                                     });
}

void AccountCenterViewController::logout() {
    if (auto sdk = bizSDK()) sdk->logout();
}

long AccountCenterViewController::tableViewNumberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(arrTexts_.size());
}

UITableViewCellPtr AccountCenterViewController::tableViewCellForRowAtIndexPath(
    UITableView* table, NSIndexPath indexPath) {
    auto cell = table->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::Default, kCellIdentifier);
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
        cell->setAccessoryType(UITableViewCellAccessoryType::DisclosureIndicator);
    }
    const auto row = static_cast<size_t>(indexPath.row);
    cell->textLabel()->setText(arrTexts_[row]);
    cell->imageView()->setImage(row < arrIcons_.size() ? arrIcons_[row] : nullptr);
    if (row == kRowVersion) {
        cell->textLabel()->setFont(UIFont::systemFontOfSize(12));
        cell->textLabel()->setTextColor(UIColor::grayColor());
    } else {
        cell->textLabel()->setFont(UIFont::systemFontOfSize(UIFont::labelFontSize()));
        cell->textLabel()->setTextColor(UIColor::blackColor());
    }
    return cell;
}

void AccountCenterViewController::tableViewDidSelectRowAtIndexPath(UITableView*,
                                                                   NSIndexPath indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(arrUIViewKey_.size())) return;
    const std::string key = arrUIViewKey_[static_cast<size_t>(indexPath.row)];
    // After the tap has been handled, as the row's own step.
    platform::dispatch::async_main([weak = weakSelf<AccountCenterViewController>(), key] {
        auto self = weak.lock();
        if (!self || !self->navigationController()) return;
        auto screen = makeScreen(key);
        if (!screen) return;
        screen->setContext(self->context());
        self->navigationController()->presentViewController(
            std::make_shared<BaseNavigationController>(screen), true);
    });
}
