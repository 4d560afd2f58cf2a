#include "app/UIAccountInfo.h"

#include "Core/SDK/KAVBizSDK.h"
#include "app/AccountScreenKit.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/CellItem.h"

using namespace platform::ui;

namespace {

// The floating profit's colours: gains red, losses green, nothing black. A
// rest of cancelling profits that shows as 0.00 is nothing.
UIColor profitColour(double value) {
    if (accountkit::showsAsZero(value)) return UIColor::blackColor();
    if (value > 0) return UIColor::rgb255(196, 26, 22);
    if (value < 0) return UIColor::rgb255(5, 117, 0);
    return UIColor::blackColor();
}

}  // namespace

void UIAccountInfo::viewDidLoad() {
    BaseViewController::viewDidLoad();
    makeView();
}

void UIAccountInfo::viewDidAppear(bool animated) {
    QAccountInfo();
    BaseViewController::viewDidAppear(animated);
    initListen();
}

void UIAccountInfo::viewDidDisappear(bool animated) {
    removeListen();
    BaseViewController::viewDidDisappear(animated);
}

void UIAccountInfo::makeView() {
    const std::string closeProfit = "当日平仓盈亏";
    arrLabel_ = {"结算货币",
                 "今日余额",
                 "占用保证金",
                 "冻结保证金",
                 "浮动盈亏",
                 "当日手续费",
                 sysdb() ? sysdb()->getLabelWithKey(closeProfit, closeProfit) : closeProfit};
    const std::string title = "资金账户";
    setTitle(sysdb() ? sysdb()->getLabelWithKey(title, title) : title);
    accountkit::useBlackNavigationBar(*this);
    view()->setBackgroundColor(UIColor::grey255(30));

    riskView_ = std::make_shared<UIKAVRiskView>(
        CGRectMake(0, accountkit::kBarsHeight, view()->bounds().size.width, kRiskPanelHeight), 0);
    view()->addSubview(riskView_);

    list_ = std::make_shared<UITableView>(CGRectZero, UITableViewStyle::Plain);
    list_->setTag(kTagTable);
    list_->separatorInset = UIEdgeInsetsZero;
    list_->setDataSource(weakSelf<UITableViewDataSource>());
    list_->setDelegate(weakSelf<UITableViewDelegate>());
    view()->addSubview(list_);
}

void UIAccountInfo::viewDidLayoutSubviews() {
    const CGRect b = view()->bounds();
    riskView_->setFrame(CGRectMake(0, accountkit::kBarsHeight, b.size.width, kRiskPanelHeight));
    const CGFloat top = CGRectGetMaxY(riskView_->frame()) + 2;
    list_->setFrame(CGRectMake(0, top, b.size.width, b.size.height - top));
}

void UIAccountInfo::QAccountInfo() {
    if (!bizSDK()) return;
    bizSDK()->queryAccountOnSuccess(
        [weak = weakSelf<UIAccountInfo>()](const MODList<MODUserAccount>& accounts) {
            if (auto self = weak.lock()) self->updateAccountWithMods(accounts);
        },
        // A failed query leaves the last figures up; the next appearance asks again.
        [](const std::string&, const std::string&) {});
}

void UIAccountInfo::initListen() {
    accountListen_ = BroadcastManager::listen(
        kActionReceiveAccountChange, weakSelf<UIAccountInfo>(), &UIAccountInfo::onReciveBroadcast);
}

void UIAccountInfo::removeListen() {
    accountListen_.reset();
}

void UIAccountInfo::onReciveBroadcast(const MoMessage& message) {
    if (const auto* accounts = message.objAs<MODList<MODUserAccount>>())
        updateAccountWithMods(*accounts);
}

void UIAccountInfo::updateAccountWithMods(const MODList<MODUserAccount>& mods) {
    if (mods.empty() || !mods.front()) return;
    modUserAccount_ = mods.front();
    const MODUserAccount& a = *modUserAccount_;
    arrValue_ = {a.currencyCode,
                 accountkit::moneyText(a.amMarginRemain),
                 accountkit::moneyText(a.amMarginUsed),
                 accountkit::moneyText(a.amMarginFreezed),
                 accountkit::moneyText(a.profitDyn),
                 accountkit::moneyText(a.amDailyCharge),
                 accountkit::moneyText(a.amDailyCloseProfit)};
    list_->reloadData();
    riskView_->updataWithRisk(a.risk, a.netValue, a.amMarginFree, a.riskPercent, a.riskLevel);
}

long UIAccountInfo::tableViewNumberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(arrLabel_.size());
}

UITableViewCellPtr UIAccountInfo::tableViewCellForRowAtIndexPath(UITableView* table,
                                                                 NSIndexPath indexPath) {
    const auto row = static_cast<size_t>(indexPath.row);
    auto cell = std::dynamic_pointer_cast<CellItem>(
        table->dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = std::make_shared<CellItem>(UITableViewCellStyle::Default, kCellIdentifier);
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
        cell->setAccessoryType(UITableViewCellAccessoryType::None);
        cell->showItemWithLabel(arrLabel_[row], "", kCaptionWidth);
        if (!valueInk_) valueInk_ = cell->cellValue()->textColor();
    }
    // A reused cell takes this row's caption and ink too.
    cell->showItemWithLabel(arrLabel_[row], "", kCaptionWidth);
    if (row < arrValue_.size()) {
        cell->cellValue()->setTextColor(row == kRowProfit ? profitColour(modUserAccount_->profitDyn)
                                                          : *valueInk_);
        cell->cellValue()->setText(arrValue_[row]);
    }
    return cell;
}

double UIAccountInfo::tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath) {
    return kRowHeight;
}
