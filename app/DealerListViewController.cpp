#include "app/DealerListViewController.h"

#include "app/AppConfig.h"
#include "app/DealerLookup.h"
#include "app/DealerManager.h"
#include "app/DealerStore.h"
#include "platform/Dispatch.h"
#include "platform/ui/Button.h"
#include "platform/ui/Toolbar.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVProgressHUD.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace {

constexpr long kTagToolbar = 3000;

void alert(const std::string& message) {
    KAVAlertView::showAlertWithTitle("提示", message, std::string("确认"), nullptr);
}

}  // namespace

DealerListViewController::DealerListViewController(const CGRect& frame,
                                                   std::weak_ptr<DealerStore> store)
    : store_(std::move(store)), frame_(frame) {}

DealerListViewController::~DealerListViewController() = default;

void DealerListViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    initData();
    makeView();
}

void DealerListViewController::initData() {
    dealerManager_ = std::make_shared<DealerManager>(store_);
}

void DealerListViewController::makeView() {
    view()->setFrame(frame_);
    view()->setBackgroundColor(kavtheme::screenBackground());

    auto table = std::make_shared<UITableView>();
    table->setTag(kTagTable);
    table->setBackgroundColor(kavtheme::screenBackground());
    table->separatorStyle = UITableViewCellSeparatorStyle::None;
    table->setDataSource(weakSelf<UITableViewDataSource>());
    table->setDelegate(weakSelf<UITableViewDelegate>());
    view()->addSubview(table);

    searchBar_ = std::make_shared<UISearchBar>(CGRectMake(0, 0, frame_.size.width, kBarHeight));
    searchBar_->setBarStyle(UIBarStyle::Black);
    searchBar_->setShowsCancelButton(true);
    searchBar_->cancelButton()->setTitle("取消", UIControlStateNormal);
    searchBar_->delegate = weakSelf<UISearchBarDelegate>();

    auto toolbar = std::make_shared<UIToolbar>();
    toolbar->setTag(kTagToolbar);
    toolbar->setBarStyle(UIBarStyle::Black);
    auto barButton = [this](long tag, const char* image) {
        auto button = std::make_shared<UIButton>(CGRectMake(0, 0, 32, 32));
        button->setTag(tag);
        button->setImage(UIImageTintColor::imageWithTintColor(kavtheme::primaryText(), image),
                         UIControlStateNormal);
        button->addTarget(weakSelf<DealerListViewController>(),
                          &DealerListViewController::buttonPressed, UIControlEventTouchUpInside);
        return UIBarButtonItem::itemWithCustomView(button);
    };
    auto space = [] {
        return UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::FlexibleSpace);
    };
    toolbar->setItems({space(), space(), space(), space(), barButton(kTagAdd, "nav_add"), space(),
                       barButton(kTagQR, "nav_qrcode")});
    view()->addSubview(toolbar);
}

void DealerListViewController::viewDidLayoutSubviews() {
    BaseViewController::viewDidLayoutSubviews();
    const CGRect b = view()->bounds();
    if (auto* t = table()) t->setFrame(CGRectMake(0, 0, b.size.width, b.size.height - kBarHeight));
    if (auto toolbar = view()->viewWithTag<UIToolbar>(kTagToolbar))
        toolbar->setFrame(CGRectMake(0, b.size.height - kBarHeight, b.size.width, kBarHeight));
    if (searchBar_) searchBar_->setFrame(CGRectMake(0, 0, b.size.width, kBarHeight));
}

UITableView* DealerListViewController::table() const {
    if (!isViewLoaded()) return nullptr;
    return const_cast<DealerListViewController*>(this)
        ->view()
        ->viewWithTag<UITableView>(kTagTable)
        .get();
}

bool DealerListViewController::isSearchBarShown() const {
    auto* t = table();
    return t && searchBar_ && t->tableHeaderView() == searchBar_;
}

void DealerListViewController::reloadTable() {
    if (auto* t = table()) t->reloadData();
}

void DealerListViewController::buttonPressed(UIControl* sender) {
    if (!sender) return;
    switch (sender->tag()) {
        case kTagAdd: {
            auto* t = table();
            if (!t || t->tableHeaderView()) return;  // already shown
            t->setTableHeaderView(searchBar_);
            searchBar_->becomeFirstResponder();
            if (auto d = dealerManagerDelegate()) d->onSearchVisible(true);
            break;
        }
        case kTagQR: {
            // Presented on the next turn, once this tap has been handled.
            auto weak = weakSelf<DealerListViewController>();
            platform::dispatch::async_main([weak] {
                auto self = weak.lock();
                if (!self) return;
                auto scanner = std::make_shared<QRcodeViewController>();
                scanner->setContext(self->context());
                scanner->setScanDelegate(self->weakSelf<QRcodeViewControllerDelegate>());
                self->presentViewController(std::make_shared<BaseNavigationController>(scanner),
                                            true);
            });
            break;
        }
        default:
            break;
    }
}

// ---- table ------------------------------------------------------------------

long DealerListViewController::tableViewNumberOfRowsInSection(UITableView*, long) {
    dealers_ = dealerManager_ ? dealerManager_->getLocalDealerArray().value_or(
                                    std::vector<std::shared_ptr<EtyDealer>>{})
                              : std::vector<std::shared_ptr<EtyDealer>>{};
    return static_cast<long>(dealers_.size());
}

UITableViewCellPtr DealerListViewController::tableViewCellForRowAtIndexPath(UITableView* table,
                                                                            NSIndexPath indexPath) {
    auto cell = table->dequeueReusableCellWithIdentifier(kCellID);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::Default, kCellID);
        cell->setBackgroundColor(table->backgroundColor());
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
        cell->setAccessoryType(UITableViewCellAccessoryType::DisclosureIndicator);
        cell->textLabel()->setTextColor(UIColor::whiteColor());
    }
    const size_t row = static_cast<size_t>(indexPath.row);
    if (row >= dealers_.size()) return cell;
    const auto& dealer = dealers_[row];
    cell->textLabel()->setText(dealer->dealerName);
    cell->imageView()->setImage(
        dealer->isSelected ? UIImageTintColor::imageWithTintColor(kavtheme::accent(), "check_Icon")
                           : nullptr);
    return cell;
}

void DealerListViewController::tableViewDidSelectRowAtIndexPath(UITableView*,
                                                                NSIndexPath indexPath) {
    const size_t row = static_cast<size_t>(indexPath.row);
    if (row >= dealers_.size()) return;
    auto dealer = dealers_[row];
    if (dealer->isSelected) {
        if (auto d = dealerManagerDelegate()) d->onHideDealerList();
        return;
    }
    dealerManager_->setCurrentSelectedDealerWithDealerKey(dealer->dealerKey);
    reloadTable();
    if (auto d = dealerManagerDelegate()) d->onSelectedDealer(dealer);
}

void DealerListViewController::tableViewCommitEditingStyle(UITableView*,
                                                           UITableViewCellEditingStyle style,
                                                           NSIndexPath indexPath) {
    if (style != UITableViewCellEditingStyle::Delete) return;
    const size_t row = static_cast<size_t>(indexPath.row);
    if (row >= dealers_.size()) return;
    // The dealer swiped, by its key: by the time the alert closes the rows
    // may stand otherwise.
    const std::string key = dealers_[row]->dealerKey;
    auto weak = weakSelf<DealerListViewController>();
    KAVAlertView::showAlertWithTitle(
        "确认", kMsgConfirmDelete, std::string("取消"), std::string("确定"),
        [weak, key](bool cancelled, long) {
            auto self = weak.lock();
            if (cancelled || !self) return;
            auto store = self->store_.lock();
            auto context = store ? store->managedObjectContext() : nullptr;
            auto dealer = self->dealerManager_->getEtyDealerWithDealerKey(key);
            if (context && dealer) {
                context->deleteObject(dealer);
                store->saveContext();
            }
            self->reloadTable();
        });
}

// ---- adding -----------------------------------------------------------------

void DealerListViewController::showLookupFailed() {
    alert(DealerManager::kLookupFailed);
}

void DealerListViewController::searchBarSearchButtonClicked(UISearchBar* bar) {
    const std::string key = bar ? bar->text() : std::string();
    if (key.empty()) {
        alert(kMsgEnterKey);
        return;
    }
    bar->resignFirstResponder();
    if (auto d = dealerManagerDelegate()) d->onSearchVisible(false);
    // A key that cannot stand in an address names no dealer: nothing is sent.
    if (!dealerlookup::isDealerKey(key)) {
        showLookupFailed();
        return;
    }
    loadDealerWithURL(dealerlookup::lookupURL(appconfig::dealerServiceBaseURL(), key));
}

void DealerListViewController::searchBarCancelButtonClicked(UISearchBar*) {
    hideSearchBar();
}

void DealerListViewController::hideSearchBar() {
    auto* t = table();
    if (!t || t->tableHeaderView() != searchBar_) return;
    searchBar_->resignFirstResponder();
    t->setTableHeaderView(nullptr);
    if (auto d = dealerManagerDelegate()) d->onSearchVisible(false);
}

void DealerListViewController::onScanWithURL(const std::optional<std::string>& url) {
    // Only an address is looked up; any other code fails here, unsent.
    if (!url || !dealerlookup::isLookupAddress(*url)) {
        showLookupFailed();
        return;
    }
    loadDealerWithURL(*url);
}

void DealerListViewController::loadDealerWithURL(const std::string& url) {
    if (lookupRunning_ || !dealerManager_) return;
    lookupRunning_ = true;
    KAVProgressHUD::showWithStatus(kMsgQuerying, KAVProgressHUDMaskTypeBlack);
    auto weak = weakSelf<DealerListViewController>();
    dealerManager_->searchDelaerWithURL(
        url,
        [weak] {
            if (auto self = weak.lock()) self->lookupRunning_ = false;
            KAVProgressHUD::dismissWithComplete([weak] {
                if (auto self = weak.lock()) self->reloadTable();
            });
        },
        [weak](const std::string&, const std::string& message) {
            if (auto self = weak.lock()) self->lookupRunning_ = false;
            KAVProgressHUD::dismissWithComplete([message] { alert(message); });
        });
}
