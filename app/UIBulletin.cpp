#include "app/UIBulletin.h"

#include "Core/SDK/KAVBizSDK.h"
#include "app/AccountScreenKit.h"
#include "app/UIBulletinDetail.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/CellBulletin.h"
#include "ui/toolkit/KAVAlertView.h"

using namespace platform::ui;
using accountkit::localized;

void UIBulletin::viewDidLoad() {
    BaseViewController::viewDidLoad();
    makeView();
}

void UIBulletin::viewDidAppear(bool animated) {
    BaseViewController::viewDidAppear(animated);
    if (refresh_) refresh_->endRefreshing();
}

void UIBulletin::makeView() {
    automaticallyAdjustsScrollViewInsets = false;
    const std::string title = "交易商公告";
    setTitle(sysdb() ? sysdb()->getLabelWithKey(title, title) : title);
    accountkit::useBlackNavigationBar(*this);
    view()->setBackgroundColor(UIColor::grey255(30));

    list_ = std::make_shared<UITableView>(CGRectZero, UITableViewStyle::Plain);
    list_->setTag(kTagTable);
    list_->setBackgroundColor(UIColor::grey255(220));
    list_->setSeparatorColor(UIColor::darkGrayColor());
    list_->separatorStyle = UITableViewCellSeparatorStyle::None;
    list_->setDataSource(weakSelf<UITableViewDataSource>());
    list_->setDelegate(weakSelf<UITableViewDelegate>());
    view()->addSubview(list_);

    refresh_ = std::make_shared<UIRefreshControl>();
    refresh_->setTintColor(UIColor::lightGrayColor());
    refresh_->setAttributedTitle(localized(kPullTitle));
    refresh_->addTarget(weakSelf<UIBulletin>(), &UIBulletin::refreshData,
                        UIControlEventValueChanged);
    list_->addSubview(refresh_);

    QBulletin();
}

void UIBulletin::viewDidLayoutSubviews() {
    list_->setFrame(accountkit::belowBars(*view()));
}

void UIBulletin::QBulletin() {
    if (!bizSDK()) return;
    auto weak = weakSelf<UIBulletin>();
    const uint64_t query = ++queriesAsked_;
    bizSDK()->queryBulletinOnSuccess(
        [weak, query](const MODList<MODBulletin>& bulletins) {
            auto self = weak.lock();
            if (!self) return;
            // An answer older than the one shown would bring back the list
            // as it was before: the dealer's later word stays.
            if (query < self->queryShown_) return;
            self->queryShown_ = query;
            self->rows_ = bulletins;
            self->refresh_->setAttributedTitle(localized(kPullTitle));
            self->refresh_->endRefreshing();
            self->list_->reloadData();
        },
        [weak](const std::string&, const std::string& message) {
            // The rows stay; a pull keeps spinning until a later answer.
            if (weak.lock()) KAVAlertView::showAlertWithTitle(localized(kFailureTitle), message);
        });
}

void UIBulletin::refreshData(UIControl*) {
    if (!refresh_->isRefreshing()) return;
    refresh_->setAttributedTitle(localized(kRefreshingTitle));
    QBulletin();
}

long UIBulletin::tableViewNumberOfRowsInSection(UITableView*, long) {
    return rows_ ? static_cast<long>(rows_->size()) : 0;
}

UITableViewCellPtr UIBulletin::tableViewCellForRowAtIndexPath(UITableView* table,
                                                              NSIndexPath indexPath) {
    auto cell = std::dynamic_pointer_cast<CellBulletin>(
        table->dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = std::make_shared<CellBulletin>(UITableViewCellStyle::Default, kCellIdentifier);
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
    }
    const auto& bulletin = (*rows_)[static_cast<size_t>(indexPath.row)];
    if (bulletin) cell->showCellWithMod(*bulletin);
    return cell;
}

void UIBulletin::tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath indexPath) {
    if (!rows_ || indexPath.row < 0 || indexPath.row >= static_cast<long>(rows_->size())) return;
    const auto bulletin = (*rows_)[static_cast<size_t>(indexPath.row)];
    auto* nav = navigationController();
    if (!bulletin || !nav) return;
    // Shown spinning while the bulletin is open; coming back ends it.
    refresh_->beginRefreshing();
    auto detail = std::make_shared<UIBulletinDetail>(bulletin);
    detail->setContext(context());
    nav->presentViewController(std::make_shared<BaseNavigationController>(detail), true);
}
