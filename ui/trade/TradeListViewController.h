#pragma once

// The frame of the live trading lists (quotation board, open tickets, net
// positions, pending orders, closed tickets): the table over the whole view,
// the spinner while a load runs, the load, listening to the event bus while
// visible, the merge of pushed records by key, accordion rows, and row taps
// deferred by one turn with the row's key.
//
// What it guarantees every list:
// - the rows stay as they are until the answer of a new load replaces them
//   in one step with the table's reload, so the table is never asked for a
//   row that is gone and a push merged before the answer is not kept twice;
//   only the answer of the latest load counts;
// - a failed load keeps the rows and says so in a line at the bottom of the
//   list until a load succeeds;
// - a tap captures the row's key, never its index; the deferred step looks
//   the row up again by that key and does nothing when it is gone.
//
// A list derives from it with its row model and trading record, and tells
// its title, action, identifiers, conversion, cell and query.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Core/KAVTypes.h"
#include "Core/WSPushMessage.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "ui/services/BroadcastManager.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/OrderFlow.h"

namespace tradelist {

inline constexpr long kTagTable = 1000;
inline constexpr long kTagSpinner = 2000;
inline constexpr long kTagNotice = 2001;
inline constexpr double kNoticeHeight = 26;

// The line a failed load leaves at the bottom of the list; it speaks of
// the earlier data only when the list kept rows to show.
std::string loadFailureText(const std::string& message, bool keptRows);
// The failure line, hidden until a load fails.
std::shared_ptr<platform::ui::UILabel> makeNoticeLabel(const platform::ui::CGRect& bounds);
// One order screen at a time, whatever the taps: the presentation is made
// by the root of the list's tree (the drawer), and nothing is presented
// while the root shows something already. `make` builds the screen (in its
// navigation controller) only when it will be shown.
void presentFromRoot(platform::ui::UIViewController& list,
                     const std::function<platform::ui::UIViewControllerPtr()>& make);

}  // namespace tradelist

template <typename Row, typename Record>
class TradeListViewController : public BaseViewController,
                                public platform::ui::UITableViewDataSource,
                                public platform::ui::UITableViewDelegate {
  public:
    using RowPtr = std::shared_ptr<Row>;
    using Records = MODList<Record>;
    using RecordsBlock = std::function<void(const Records&)>;
    using UITableView = platform::ui::UITableView;
    using UITableViewCell = platform::ui::UITableViewCell;
    using UITableViewCellPtr = platform::ui::UITableViewCellPtr;
    using NSIndexPath = platform::ui::NSIndexPath;

    static constexpr long kTagTable = tradelist::kTagTable;
    static constexpr long kTagSpinner = tradelist::kTagSpinner;
    static constexpr long kTagNotice = tradelist::kTagNotice;

    void viewDidLoad() override {
        BaseViewController::viewDidLoad();
        makeView();
        if (!reloadsOnAppear()) initData();
    }
    void viewDidAppear(bool animated) override {
        BaseViewController::viewDidAppear(animated);
        if (reloadsOnAppear()) initData();
        initListen();
    }
    void viewDidDisappear(bool animated) override {
        removeListen();
        BaseViewController::viewDidDisappear(animated);
    }

    virtual void makeView() {
        using namespace platform::ui;
        setTitle(listTitle());
        if (auto* nav = navigationController())
            nav->navigationBar()->setBarStyle(UIBarStyle::Black);
        UIView* v = view();
        v->setBackgroundColor(kavtheme::screenBackground());
        const CGRect bounds = v->bounds();
        auto table = std::make_shared<UITableView>(
            CGRectMake(0, 0, bounds.size.width, bounds.size.height), UITableViewStyle::Plain);
        table->setTag(kTagTable);
        table->setBackgroundColor(kavtheme::panelBackground());
        // The cells draw their own thin separators.
        table->setSeparatorColor(UIColor::clearColor());
        table->separatorStyle = UITableViewCellSeparatorStyle::None;
        table->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                   UIViewAutoresizingFlexibleHeight);
        table->setDataSource(weakSelf<UITableViewDataSource>());
        table->setDelegate(weakSelf<UITableViewDelegate>());
        v->addSubview(table);

        auto spinner =
            std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::White);
        spinner->setTag(kTagSpinner);
        spinner->setCenter(CGPointMake(bounds.size.width / 2, bounds.size.height / 2));
        spinner->setAutoresizingMask(
            UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
            UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
        spinner->setHidden(true);
        v->addSubview(spinner);

        v->addSubview(tradelist::makeNoticeLabel(bounds));
    }

    // Loads the list: the rows stay until the answer replaces them.
    virtual void initData() {
        const uint64_t load = beginLoad();
        if (!bizSDK()) {
            failLoad(load, kKAVNotInitialised.message);
            return;
        }
        auto weak = this->template weakSelf<TradeListViewController>();
        query(
            [weak, load](const Records& records) {
                auto self = weak.lock();
                if (!self || !self->isCurrentLoad(load)) return;
                std::vector<RowPtr> rows;
                rows.reserve(records.size());
                for (const auto& record : records) {
                    if (!record) continue;
                    auto row = std::make_shared<Row>();
                    self->updateRow(*row, *record);
                    rows.push_back(std::move(row));
                }
                self->endLoad(load);
                self->replaceRows(std::move(rows));
                // Listed by the dealer's own word.
                if (self->keepsGoneKeys())
                    for (const auto& record : records)
                        if (record) self->goneKeys_.erase(self->recordKey(*record));
                self->didLoadRows();
            },
            [weak, load](const std::string&, const std::string& message) {
                if (auto self = weak.lock()) self->failLoad(load, message);
            });
    }

    // The first row with the key, or null.
    RowPtr rowWithKey(const std::string& key) const {
        for (const auto& row : rows_)
            if (rowKey(*row) == key) return row;
        return nullptr;
    }
    const std::vector<RowPtr>& rows() const { return rows_; }
    bool isLoadingData() const { return loadingData_; }

    void initListen() {
        auto weak = this->template weakSelf<TradeListViewController>();
        listen_ = BroadcastManager::listen(actionName(), weak,
                                           &TradeListViewController::onReciveBroadcast);
        unknownListen_ = BroadcastManager::listen(kActionOrderResultUnknown, weak,
                                                  &TradeListViewController::onOrderResultUnknown);
    }
    void removeListen() {
        listen_.reset();
        unknownListen_.reset();
    }
    void onReciveBroadcast(const MoMessage& message) {
        if (const auto* records = message.objAs<Records>()) updateWithMods(*records);
    }

    // Merges pushed records by key, then reloads the table; a list that
    // keeps the keys it has seen gone merges only what admitted() lets in.
    virtual void updateWithMods(const Records& records) {
        if (keepsGoneKeys())
            mergeRecords(admitted(records));
        else
            mergeRecords(records);
    }

    // ---- table -----------------------------------------------------------
    long tableViewNumberOfRowsInSection(UITableView*, long) override {
        return static_cast<long>(rows_.size());
    }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView* table,
                                                      NSIndexPath indexPath) override {
        const std::string identifier = cellIdentifier();
        UITableViewCellPtr cell = table->dequeueReusableCellWithIdentifier(identifier);
        if (!cell) {
            cell = makeCell(identifier);
            cell->selectionStyle = platform::ui::UITableViewCellSelectionStyle::None;
        }
        if (Row* row = rowAt(indexPath)) showCell(*cell, *row);
        return cell;
    }
    double tableViewHeightForRowAtIndexPath(UITableView* table, NSIndexPath indexPath) override {
        const Row* row = rowAt(indexPath);
        return row ? rowHeight(*row) : table->rowHeight;
    }
    void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath indexPath) override {
        if (loadingData_) return;
        const Row* row = rowAt(indexPath);
        if (!row) return;
        if constexpr (requires(Row r) { r.isExpanded; }) {
            if (hasAccordionRows()) {
                toggleRow(indexPath.row);
                return;
            }
        }
        // The key, not the index: the rows may change before the next turn.
        std::string key = rowKey(*row);
        auto weak = this->template weakSelf<TradeListViewController>();
        platform::dispatch::async_main([weak, key = std::move(key)] {
            auto self = weak.lock();
            if (self && self->rowWithKey(key)) self->didSelectRowWithKey(key);
        });
    }

  protected:
    // ---- what each list tells ----
    virtual std::string listTitle() const = 0;
    virtual std::string actionName() const = 0;
    virtual std::string cellIdentifier() const = 0;
    virtual std::string rowKey(const Row& row) const = 0;
    virtual std::string recordKey(const Record& record) const = 0;
    // The conversion of a record into the row.
    virtual void updateRow(Row& row, const Record& record) = 0;
    virtual UITableViewCellPtr makeCell(const std::string& identifier) = 0;
    virtual void showCell(UITableViewCell& cell, Row& row) = 0;
    virtual double rowHeight(const Row& row) const = 0;
    // The list's query on the trading service (called with a session only).
    virtual void query(RecordsBlock onSuccess, KAVFailureBlock onFailure) {
        (void)onSuccess;
        (void)onFailure;
    }
    // Every appearance loads afresh (all but the board).
    virtual bool reloadsOnAppear() const { return true; }
    // Merge rules.
    virtual bool appendsUnknownRecords() const { return true; }
    virtual bool updatesKnownRecords() const { return true; }
    virtual bool isEmptied(const Record&) const { return false; }
    // Whether the list keeps the keys it has seen gone (see admitted()).
    virtual bool keepsGoneKeys() const { return false; }
    virtual void didAppendRow(const Row&) {}
    // After a merge: the whole table when rows came or went; otherwise the
    // rows on screen reload in place, each keeping its cell, so that a
    // finger on a cell's button (the cancel, the close) still lifts on it
    // when a quote re-prices the rows under it.
    virtual void didMerge() {
        UITableView* table = tableView();
        if (mergeMovedRows_)
            table->reloadData();
        else
            table->reloadRowsAtIndexPaths(table->indexPathsForVisibleRows(),
                                          platform::ui::UITableViewRowAnimation::None);
    }
    virtual void didLoadRows() {}
    // Taps: rows open and close in place, or the deferred step of a tap.
    virtual bool hasAccordionRows() const { return false; }
    virtual void didSelectRowWithKey(const std::string& key) { (void)key; }

    // ---- merge ----
    // Merges the records by key, then reloads the table.
    void mergeRecords(const Records& records) {
        mergeMovedRows_ = false;
        bool removed = false;
        for (const auto& record : records) {
            if (!record) continue;
            const std::string key = recordKey(*record);
            const auto it = std::find_if(rows_.begin(), rows_.end(),
                                         [&](const RowPtr& row) { return rowKey(*row) == key; });
            if (it == rows_.end()) {
                if (!appendsUnknownRecords()) continue;
                auto row = std::make_shared<Row>();
                updateRow(*row, *record);
                rows_.push_back(row);
                mergeMovedRows_ = true;
                didAppendRow(*row);
            } else if (isEmptied(*record)) {
                rows_.erase(it);
                mergeMovedRows_ = true;
                removed = true;
            } else if (updatesKnownRecords()) {
                updateRow(**it, *record);
            }
        }
        // A row gone moves the rows below it up: the row a finger is on now
        // would be another record's at the lift, which must not select it.
        if (removed)
            if (UITableView* table = tableView()) table->touchesCancelled({}, nullptr);
        didMerge();
        mergeMovedRows_ = true;
    }
    // The pushed records a list that keeps the keys it has seen gone lets
    // into the merge, judged against the rows as they stand before it. An
    // emptied record marks its key gone and enters only to remove a listed
    // row, never to become one; a record of a key seen gone enters only
    // while its row is still listed. A late push, or the re-pricing of
    // every quote, cannot bring a gone row back; only a load's answer can.
    Records admitted(const Records& records) {
        Records merged;
        merged.reserve(records.size());
        for (const auto& record : records) {
            if (!record) continue;
            const std::string key = recordKey(*record);
            const bool listed = rowWithKey(key) != nullptr;
            if (isEmptied(*record)) {
                goneKeys_.insert(key);
                if (!listed) continue;
            } else if (!listed && goneKeys_.count(key)) {
                continue;
            }
            merged.push_back(record);
        }
        return merged;
    }
    // A row the list removes itself (a cancel) is gone as well.
    void markGone(const std::string& key) { goneKeys_.insert(key); }

    // ---- load plumbing ----
    // Starts a load: spinner on, loading; the number of this load.
    uint64_t beginLoad() {
        loadingData_ = true;
        if (auto spinner =
                view()->template viewWithTag<platform::ui::UIActivityIndicatorView>(kTagSpinner)) {
            spinner->startAnimating();
            spinner->setHidden(false);
        }
        return ++loadNumber_;
    }
    bool isCurrentLoad(uint64_t load) const { return load == loadNumber_; }
    // Ends the load when it is the latest: spinner off, not loading, the
    // failure line gone.
    void endLoad(uint64_t load) {
        if (!isCurrentLoad(load)) return;
        stopSpinner();
        setNotice(std::string());
    }
    // A failed load keeps the rows and says why.
    void failLoad(uint64_t load, const std::string& message) {
        if (!isCurrentLoad(load)) return;
        stopSpinner();
        setNotice(tradelist::loadFailureText(message, !rows_.empty()));
    }
    void replaceRows(std::vector<RowPtr> rows) {
        rows_ = std::move(rows);
        tableView()->reloadData();
    }
    Row* rowAt(NSIndexPath indexPath) const {
        if (indexPath.section != 0 || indexPath.row < 0 ||
            indexPath.row >= static_cast<long>(rows_.size()))
            return nullptr;
        return rows_[static_cast<size_t>(indexPath.row)].get();
    }
    UITableView* tableView() { return view()->template viewWithTag<UITableView>(kTagTable).get(); }

    std::vector<RowPtr> rows_;
    bool loadingData_ = false;
    // Whether the merge under way added or removed a row.
    bool mergeMovedRows_ = true;

  private:
    void onOrderResultUnknown(const MoMessage&) {
        if (reloadsOnAppear()) initData();
    }
    void stopSpinner() {
        loadingData_ = false;
        if (auto spinner =
                view()->template viewWithTag<platform::ui::UIActivityIndicatorView>(kTagSpinner)) {
            spinner->stopAnimating();
            spinner->setHidden(true);
        }
    }
    void setNotice(const std::string& text) {
        auto notice = view()->template viewWithTag<platform::ui::UILabel>(kTagNotice);
        if (!notice) return;
        notice->setText(text);
        notice->setHidden(text.empty());
        // The last row can still scroll clear of the line.
        if (UITableView* table = tableView()) {
            auto inset = table->contentInset();
            inset.bottom = text.empty() ? 0 : tradelist::kNoticeHeight;
            table->setContentInset(inset);
        }
    }
    // Opens the tapped row and closes the others, or closes it; the rows
    // that changed reload with the automatic animation.
    void toggleRow(long index) {
        if constexpr (requires(Row r) { r.isExpanded; }) {
            std::vector<NSIndexPath> changed;
            Row& tapped = *rows_[static_cast<size_t>(index)];
            if (tapped.isExpanded) {
                tapped.isExpanded = false;
                changed.push_back(NSIndexPath::indexPathForRow(index, 0));
            } else {
                for (size_t i = 0; i < rows_.size(); ++i) {
                    if (static_cast<long>(i) == index || !rows_[i]->isExpanded) continue;
                    rows_[i]->isExpanded = false;
                    changed.push_back(NSIndexPath::indexPathForRow(static_cast<long>(i), 0));
                }
                tapped.isExpanded = true;
                changed.push_back(NSIndexPath::indexPathForRow(index, 0));
            }
            tableView()->reloadRowsAtIndexPaths(changed,
                                                platform::ui::UITableViewRowAnimation::Automatic);
        }
    }

    uint64_t loadNumber_ = 0;
    // Keys seen gone, for a list that keeps them.
    std::set<std::string> goneKeys_;
    platform::ObserverToken listen_;
    platform::ObserverToken unknownListen_;
};
