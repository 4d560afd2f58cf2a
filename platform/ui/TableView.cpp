#include "platform/ui/TableView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/TableViewCell.h"

namespace platform::ui {

namespace {

constexpr double kSwipeDistance = 30;
constexpr double kRowAnimation = 0.3;

UITableViewDelegate& defaultDelegate() {
    static UITableViewDelegate d;
    return d;
}

}  // namespace

// The swipe-to-delete pan. It takes a sideways drag only where it has
// something to do: leftward from a row that can be deleted, rightward to put
// away the delete button that was shown when the finger came down. Any other
// drag fails it before it begins, so the recognisers above the table (a
// drawer's pan over a list) get the drag.
class UITableView::SwipePan : public UIPanGestureRecognizer {
  public:
    explicit SwipePan(UITableView* owner) : owner_(owner) {}

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override {
        // The table hides an open delete button as the finger comes down, so
        // remember whether one was open before it does.
        if (touches_.empty()) deleteWasShown_ = owner_->swiped_.has_value();
        UIPanGestureRecognizer::touchesBegan(touches, event);
    }

    void touchesMoved(const UITouchSet& touches, UIEvent* event) override {
        if (state() == UIGestureRecognizerState::Possible) {
            const CGPoint t = translationInView(owner_);
            if (std::hypot(t.x, t.y) >= kDecisionDistance && !wants(t)) {
                setState(UIGestureRecognizerState::Failed);
                return;
            }
        }
        UIPanGestureRecognizer::touchesMoved(touches, event);
    }

  private:
    static constexpr double kDecisionDistance = 10;

    bool wants(CGPoint t) const {
        if (std::fabs(t.y) >= std::fabs(t.x)) return false;
        if (t.x > 0) return deleteWasShown_;
        CGPoint start = locationInView(owner_);
        start.x -= t.x;
        start.y -= t.y;
        auto ip = owner_->indexPathForRowAtPoint(start);
        return ip && owner_->canSwipeToDelete(*ip);
    }

    UITableView* owner_;
    bool deleteWasShown_ = false;
};

// ---- delegate defaults --------------------------------------------------

double UITableViewDelegate::tableViewHeightForRowAtIndexPath(UITableView* t, NSIndexPath) {
    return t->rowHeight;
}

double UITableViewDelegate::tableViewHeightForHeaderInSection(UITableView* t, long section) {
    bool hasTitle = false;
    if (auto ds = t->dataSource.lock())
        hasTitle = !ds->tableViewTitleForHeaderInSection(t, section).empty();
    if (hasTitle || tableViewViewForHeaderInSection(t, section)) return t->sectionHeaderHeight;
    return t->style() == UITableViewStyle::Grouped ? 10 : 0;
}

double UITableViewDelegate::tableViewHeightForFooterInSection(UITableView* t, long section) {
    if (tableViewViewForFooterInSection(t, section)) return t->sectionFooterHeight;
    return t->style() == UITableViewStyle::Grouped ? 10 : 0;
}

// ---- table --------------------------------------------------------------

UITableView::UITableView(const CGRect& frame, UITableViewStyle style)
    : UIScrollView(frame), style_(style) {
    alwaysBounceVertical = true;
    setBackgroundColor(style == UITableViewStyle::Grouped ? UIColor::rgb255(239, 239, 244)
                                                          : UIColor::whiteColor());
    swipe_ = std::make_shared<SwipePan>(this);
    UITableView* self = this;
    swipe_->addTarget([self](UIGestureRecognizer& g) {
        self->handleSwipe(static_cast<UIPanGestureRecognizer&>(g));
    });
    addGestureRecognizer(swipe_);
}

void UITableView::setSeparatorColor(const UIColor& c) {
    separatorColor_ = c;
    for (auto& [ip, cell] : visible_) {
        if (!cell) continue;
        cell->separatorColor = c;
        cell->setNeedsDisplay();
    }
}

void UITableView::setTableHeaderView(UIViewPtr v) {
    if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(v);
    if (tableHeaderView_) addSubview(tableHeaderView_);
    rebuildGeometry();
    setNeedsLayout();
}

void UITableView::setTableFooterView(UIViewPtr v) {
    if (tableFooterView_) tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(v);
    if (tableFooterView_) addSubview(tableFooterView_);
    rebuildGeometry();
    setNeedsLayout();
}

UIViewPtr UITableView::makeHeader(long, const std::string& title) const {
    auto header = std::make_shared<UIView>();
    auto label =
        std::make_shared<UILabel>(CGRectMake(15, 0, bounds().size.width - 30, sectionHeaderHeight));
    label->setText(title);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    if (style_ == UITableViewStyle::Plain) {
        header->setBackgroundColor(UIColor::rgb255(247, 247, 247));
        label->setFont(UIFont::boldSystemFontOfSize(14));
    } else {
        label->setFont(UIFont::systemFontOfSize(14));
        label->setTextColor(UIColor::grey255(109));
    }
    header->setFrame(CGRectMake(0, 0, bounds().size.width, sectionHeaderHeight));
    header->addSubview(label);
    return header;
}

void UITableView::rebuildGeometry() {
    laidOut_ = CGRectNull;
    for (auto& s : sections_) {
        if (s.headerView) s.headerView->removeFromSuperview();
        if (s.footerView) s.footerView->removeFromSuperview();
    }
    sections_.clear();
    auto ds = dataSource.lock();
    auto dl = tableDelegate.lock();
    UITableViewDelegate& d = dl ? *dl : defaultDelegate();
    const double width = bounds().size.width;
    double y = tableHeaderView_ ? tableHeaderView_->frame().size.height : 0;
    if (tableHeaderView_) tableHeaderView_->setFrame(CGRectMake(0, 0, width, y));
    const long count = ds ? ds->numberOfSectionsInTableView(this) : 0;
    sections_.resize(static_cast<size_t>(std::max(0L, count)));
    for (long s = 0; s < count; ++s) {
        Section& sec = sections_[static_cast<size_t>(s)];
        sec.headerTop = y;
        sec.headerHeight = d.tableViewHeightForHeaderInSection(this, s);
        sec.headerView = d.tableViewViewForHeaderInSection(this, s);
        if (!sec.headerView) {
            std::string title = ds->tableViewTitleForHeaderInSection(this, s);
            if (!title.empty()) sec.headerView = makeHeader(s, title);
        }
        if (sec.headerView && sec.headerHeight > 0) {
            sec.headerView->setFrame(CGRectMake(0, y, width, sec.headerHeight));
            addSubview(sec.headerView);
        }
        y += sec.headerHeight;
        const long rows = ds->tableViewNumberOfRowsInSection(this, s);
        for (long r = 0; r < rows; ++r) {
            double h = d.tableViewHeightForRowAtIndexPath(this, {s, r});
            sec.rowTops.push_back(y);
            sec.rowHeights.push_back(h);
            y += h;
        }
        sec.footerHeight = d.tableViewHeightForFooterInSection(this, s);
        sec.footerView = d.tableViewViewForFooterInSection(this, s);
        if (sec.footerView && sec.footerHeight > 0) {
            sec.footerView->setFrame(CGRectMake(0, y, width, sec.footerHeight));
            addSubview(sec.footerView);
        }
        y += sec.footerHeight;
    }
    if (tableFooterView_) {
        double h = tableFooterView_->frame().size.height;
        tableFooterView_->setFrame(CGRectMake(0, y, width, h));
        y += h;
    }
    setContentSize({width, y});
    loaded_ = true;
}

long UITableView::numberOfRowsInSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return 0;
    return static_cast<long>(sections_[static_cast<size_t>(section)].rowTops.size());
}

CGRect UITableView::rectForRowAtIndexPath(NSIndexPath ip) const {
    if (ip.row < 0 || ip.row >= numberOfRowsInSection(ip.section)) return CGRectZero;
    const Section& s = sections_[static_cast<size_t>(ip.section)];
    return CGRectMake(0, s.rowTops[static_cast<size_t>(ip.row)], bounds().size.width,
                      s.rowHeights[static_cast<size_t>(ip.row)]);
}

CGRect UITableView::rectForHeaderInSection(long section) const {
    if (section < 0 || section >= numberOfSections()) return CGRectZero;
    const Section& s = sections_[static_cast<size_t>(section)];
    return CGRectMake(0, s.headerTop, bounds().size.width, s.headerHeight);
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint p) const {
    for (size_t s = 0; s < sections_.size(); ++s) {
        const Section& sec = sections_[s];
        for (size_t r = 0; r < sec.rowTops.size(); ++r)
            if (p.y >= sec.rowTops[r] && p.y < sec.rowTops[r] + sec.rowHeights[r])
                return NSIndexPath{static_cast<long>(s), static_cast<long>(r)};
    }
    return std::nullopt;
}

std::vector<UITableView::VisibleRow>::iterator UITableView::visibleRow(NSIndexPath ip) {
    return std::lower_bound(visible_.begin(), visible_.end(), ip,
                            [](const VisibleRow& v, NSIndexPath p) { return v.first < p; });
}

std::vector<UITableView::VisibleRow>::const_iterator UITableView::visibleRow(NSIndexPath ip) const {
    return std::lower_bound(visible_.begin(), visible_.end(), ip,
                            [](const VisibleRow& v, NSIndexPath p) { return v.first < p; });
}

void UITableView::setVisible(NSIndexPath ip, UITableViewCellPtr cell) {
    auto it = visibleRow(ip);
    if (it != visible_.end() && it->first == ip)
        it->second = std::move(cell);
    else
        visible_.emplace(it, ip, std::move(cell));
}

std::vector<UITableViewCellPtr>* UITableView::poolOf(const std::string& identifier) {
    for (auto& [id, cells] : pool_)
        if (id == identifier) return &cells;
    return nullptr;
}

UITableViewCellPtr UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    std::vector<UITableViewCellPtr>* pool = poolOf(identifier);
    if (!pool || pool->empty()) return nullptr;
    UITableViewCellPtr cell = std::move(pool->back());
    pool->pop_back();
    cell->setSelected(false, false);
    cell->setHighlighted(false, false);
    cell->hideDeleteButton();
    cell->prepareForReuse();
    return cell;
}

size_t UITableView::reusePoolSize(const std::string& identifier) const {
    for (const auto& [id, cells] : pool_)
        if (id == identifier) return cells.size();
    return 0;
}

void UITableView::enqueue(const UITableViewCellPtr& cell, bool staysShown) {
    // Quotes reload rows under a finger: the touch stays with the table (its
    // cell is off the responder chain once it leaves), so the tap selects.
    if (auto touch = pressedTouch_.lock()) {
        UIView* touched = touch->view();
        if (touched && (touched == cell.get() || touched->isDescendantOfView(cell.get()))) {
            touch->view_ = sharedSelf<UIView>();
            touch->rawView_ = this;
        }
    }
    if (cell->reuseIdentifier().empty()) {
        cell->removeFromSuperview();
        return;
    }
    if (staysShown)
        leaving_.push_back(cell);
    else
        cell->removeFromSuperview();
    std::vector<UITableViewCellPtr>* pool = poolOf(cell->reuseIdentifier());
    if (!pool) pool = &pool_.emplace_back(cell->reuseIdentifier(), 0).second;
    pool->push_back(cell);
}

UITableViewCellPtr UITableView::makeCell(NSIndexPath ip) {
    auto ds = dataSource.lock();
    return ds ? makeCell(*ds, ip) : nullptr;
}

UITableViewCellPtr UITableView::makeCell(UITableViewDataSource& ds, NSIndexPath ip) {
    ++cellRequests_;
    UITableViewCellPtr cell = ds.tableViewCellForRowAtIndexPath(this, ip);
    if (!cell) return nullptr;
    cell->setSelected(selected_ && *selected_ == ip, false);
    cell->setHighlighted(pressed_ && *pressed_ == ip, false);
    cell->separatorColor = separatorColor_;
    cell->drawsSeparator = separatorStyle == UITableViewCellSeparatorStyle::SingleLine;
    cell->separatorInset = separatorInset;
    return cell;
}

void UITableView::layoutVisibleCells(bool animated) {
    if (!loaded_) rebuildGeometry();
    // A row whose cell is being asked for (a reload in place) has none yet.
    std::erase_if(visible_, [](const VisibleRow& v) { return !v.second; });
    const CGRect b = bounds();
    const double top = b.origin.y, bottom = b.origin.y + b.size.height;
    // Both in row order, as the rows are walked.
    std::vector<VisibleRow> keep;
    std::vector<VisibleRow> fresh;
    for (size_t s = 0; s < sections_.size(); ++s) {
        const Section& sec = sections_[s];
        for (size_t r = 0; r < sec.rowTops.size(); ++r) {
            const double y0 = sec.rowTops[r], y1 = y0 + sec.rowHeights[r];
            if (y1 <= top || y0 >= bottom || sec.rowHeights[r] <= 0) continue;
            NSIndexPath ip{static_cast<long>(s), static_cast<long>(r)};
            auto it = visibleRow(ip);
            if (it != visible_.end() && it->first == ip) {
                keep.emplace_back(ip, std::move(it->second));
                visible_.erase(it);
            } else {
                fresh.push_back({ip, nullptr});
            }
        }
    }
    for (auto& [ip, cell] : visible_)
        enqueue(cell);
    visible_ = std::move(keep);
    auto dl = tableDelegate.lock();
    for (auto& [ip, cell] : fresh) {
        cell = makeCell(ip);
        if (!cell) continue;
        cell->setFrame(rectForRowAtIndexPath(ip));
        if (cell->superviewRaw() != this) {
            insertSubviewAtIndex(cell, 0);
            if (backgroundView) sendSubviewToBack(backgroundView.get());
        }
        if (dl) dl->tableViewWillDisplayCell(this, cell.get(), ip);
        if (animated) {
            cell->setAlpha(0);
            UIView::animateWithDuration(kRowAnimation, [c = cell] { c->setAlpha(1); });
        }
        setVisible(ip, cell);
    }
    auto place = [this] {
        for (auto& [ip, cell] : visible_)
            cell->setFrame(rectForRowAtIndexPath(ip));
    };
    // Every row on screen has its cell in its place (an animated one once
    // the animation ends, and rows are laid out again meanwhile).
    const bool complete = std::all_of(fresh.begin(), fresh.end(),
                                      [](const auto& f) { return f.second != nullptr; });
    laidOut_ = complete && !animated ? bounds() : CGRectNull;
    if (animated)
        UIView::animateWithDuration(kRowAnimation, place);
    else
        place();
}

void UITableView::layoutSubviews() {
    if (backgroundView) {
        backgroundView->setFrame(bounds());
        if (backgroundView->superviewRaw() != this) insertSubviewAtIndex(backgroundView, 0);
    }
    if (loaded_ && contentSize().width != bounds().size.width) rebuildGeometry();
    if (pendingReloads_.empty())
        layoutVisibleCells(false);
    else
        flushReloads();
}

void UITableView::didScroll() {
    UIScrollView::didScroll();
    if (auto d = tableDelegate.lock()) d->scrollViewDidScroll(this);
}

void UITableView::reloadData() {
    // Every row is asked for again.
    pendingReloads_.clear();
    hideSwipe();
    for (auto& [ip, cell] : visible_)
        if (cell) enqueue(cell);
    visible_.clear();
    rebuildGeometry();
    if (selected_ && selected_->row >= numberOfRowsInSection(selected_->section)) selected_.reset();
    const CGPoint hi = maximumContentOffset();
    if (contentOffset().y > hi.y) setContentOffset({contentOffset().x, hi.y});
    setNeedsLayout();
}

void UITableView::reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& paths,
                                         UITableViewRowAnimation animation) {
    if (animation == UITableViewRowAnimation::None) {
        // A price board reloads its rows on every quote, several times
        // between two frames at a high rate: the rows are asked for once,
        // when the table lays out or one of its cells is read.
        for (const auto& ip : paths)
            if (std::find(pendingReloads_.begin(), pendingReloads_.end(), ip) ==
                pendingReloads_.end())
                pendingReloads_.push_back(ip);
        if (!pendingReloads_.empty()) setNeedsLayout();
        return;
    }
    flushReloads();
    reloadRowsNow(paths, true);
}

void UITableView::flushReloads() {
    if (pendingReloads_.empty()) return;
    std::vector<NSIndexPath> paths;
    paths.swap(pendingReloads_);
    reloadRowsNow(paths, false);
    // The buffer serves the next frame's reloads.
    if (pendingReloads_.empty()) {
        paths.clear();
        pendingReloads_.swap(paths);
    }
}

bool UITableView::geometryHolds(const std::vector<NSIndexPath>& paths, UITableViewDataSource* ds,
                                UITableViewDelegate& d) {
    if (!loaded_ || contentSize().width != bounds().size.width) return false;
    if (!ds || ds->numberOfSectionsInTableView(this) != numberOfSections()) return false;
    for (long s = 0; s < numberOfSections(); ++s)
        if (ds->tableViewNumberOfRowsInSection(this, s) != numberOfRowsInSection(s)) return false;
    for (const auto& ip : paths) {
        if (ip.row < 0 || ip.row >= numberOfRowsInSection(ip.section)) continue;
        const double h = sections_[static_cast<size_t>(ip.section)]
                             .rowHeights[static_cast<size_t>(ip.row)];
        if (d.tableViewHeightForRowAtIndexPath(this, ip) != h) return false;
    }
    return true;
}

void UITableView::reloadRowsNow(const std::vector<NSIndexPath>& paths, bool animated) {
    // The rows keep their places unless one of them changes its height (or
    // the rows were counted anew): only then is the table measured again.
    auto ds = dataSource.lock();
    auto dl = tableDelegate.lock();
    const bool holds = geometryHolds(paths, ds.get(), dl ? *dl : defaultDelegate());
    if (!holds) rebuildGeometry();
    // Nothing moved since the rows were last laid out: the same rows show,
    // each where it was, and only the reloaded ones are asked for.
    const bool inPlace = holds && !animated && laidOut_ == bounds();
    // The data source takes the cell it just gave back: the cell stays
    // where it is, so only what its new data changes is drawn again, not
    // the whole row. The last row's cell goes into the pool first, so that
    // the rows, asked for in order, each take back their own.
    // In place a reloaded row keeps its entry, without a cell until the
    // data source gives one (the rows are not moved down and back up for
    // it); otherwise it leaves the rows on screen.
    std::vector<VisibleRow> reloaded;
    reloaded.swap(reloaded_);
    for (auto& ip : paths) {
        auto it = visibleRow(ip);
        if (it == visible_.end() || it->first != ip || !it->second) continue;
        reloaded.emplace_back(ip, std::move(it->second));
        if (!inPlace) visible_.erase(it);
    }
    if (reloaded.size() > 1)
        std::sort(reloaded.begin(), reloaded.end(),
                  [](const auto& a, const auto& b) { return b.first < a.first; });
    for (auto& [ip, cell] : reloaded)
        enqueue(cell, true);
    if (inPlace) {
        bool missing = false;
        for (auto it = reloaded.rbegin(); it != reloaded.rend(); ++it) {
            const NSIndexPath ip = it->first;
            UITableViewCellPtr cell = ds ? makeCell(*ds, ip) : nullptr;
            if (!cell) {
                // Asked for again at the next layout, as a row without a cell is.
                laidOut_ = CGRectNull;
                missing = true;
                continue;
            }
            // The row's own cell taken back is in its place already.
            if (cell != it->second) {
                cell->setFrame(rectForRowAtIndexPath(ip));
                if (cell->superviewRaw() != this) {
                    insertSubviewAtIndex(cell, 0);
                    if (backgroundView) sendSubviewToBack(backgroundView.get());
                }
            }
            if (dl) dl->tableViewWillDisplayCell(this, cell.get(), ip);
            setVisible(ip, std::move(cell));
        }
        // A row left without a cell is not on screen.
        if (missing) std::erase_if(visible_, [](const VisibleRow& v) { return !v.second; });
    } else {
        layoutVisibleCells(animated);
    }
    reloaded.clear();
    reloaded_.swap(reloaded);
    // A cell its row did not take back leaves the table.
    std::vector<UITableViewCellPtr> leaving;
    leaving.swap(leaving_);
    for (auto& cell : leaving) {
        const bool shown = std::any_of(visible_.begin(), visible_.end(),
                                       [&](const auto& v) { return v.second == cell; });
        if (!shown && cell->superviewRaw() == this) cell->removeFromSuperview();
    }
    if (leaving_.empty()) {
        leaving.clear();
        leaving_.swap(leaving);
    }
}

void UITableView::reloadSections(const std::vector<long>&, UITableViewRowAnimation) {
    reloadData();
}

void UITableView::deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& paths,
                                         UITableViewRowAnimation animation) {
    // The press and the selection stay with their rows: gone with a row
    // that goes, moved up by the rows that go above them. A finger on a row
    // that moved is no longer on it, so its lift selects nothing.
    std::vector<NSIndexPath> gone(paths);
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    auto follow = [&gone](std::optional<NSIndexPath>& at) {
        if (!at) return;
        long above = 0;
        for (const auto& ip : gone) {
            if (ip.section != at->section) continue;
            if (ip.row == at->row) {
                at.reset();
                return;
            }
            if (ip.row < at->row) ++above;
        }
        at->row -= above;
    };
    follow(pressed_);
    follow(selected_);
    rowsChanged(animation != UITableViewRowAnimation::None);
}

void UITableView::insertRowsAtIndexPaths(const std::vector<NSIndexPath>& paths,
                                         UITableViewRowAnimation animation) {
    // The rows given are where the new ones end up: each at or above a row
    // moves it down.
    std::vector<NSIndexPath> added(paths);
    std::sort(added.begin(), added.end());
    added.erase(std::unique(added.begin(), added.end()), added.end());
    for (auto* at : {&pressed_, &selected_})
        if (*at)
            for (const auto& ip : added)
                if (ip.section == (*at)->section && ip.row <= (*at)->row) ++(*at)->row;
    rowsChanged(animation != UITableViewRowAnimation::None);
}

void UITableView::rowsChanged(bool animated) {
    pendingReloads_.clear();
    hideSwipe();
    for (auto& [ip, cell] : visible_)
        if (cell) enqueue(cell);
    visible_.clear();
    rebuildGeometry();
    if (selected_ && selected_->row >= numberOfRowsInSection(selected_->section)) selected_.reset();
    // Scrolled past the new end: the last rows show, not an empty screen.
    const CGPoint hi = maximumContentOffset();
    if (contentOffset().y > hi.y) setContentOffset({contentOffset().x, hi.y});
    layoutVisibleCells(animated);
}

UITableViewCell* UITableView::cellForRowAtIndexPath(NSIndexPath ip) const {
    const_cast<UITableView*>(this)->flushReloads();
    auto it = visibleRow(ip);
    return it == visible_.end() || it->first != ip ? nullptr : it->second.get();
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() const {
    std::vector<NSIndexPath> out;
    for (auto& [ip, cell] : visible_)
        if (cell) out.push_back(ip);
    return out;
}

std::vector<UITableViewCell*> UITableView::visibleCells() const {
    const_cast<UITableView*>(this)->flushReloads();
    std::vector<UITableViewCell*> out;
    for (auto& [ip, cell] : visible_)
        if (cell) out.push_back(cell.get());
    return out;
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell* cell) const {
    const_cast<UITableView*>(this)->flushReloads();
    for (auto& [ip, c] : visible_)
        if (c && c.get() == cell) return ip;
    return std::nullopt;
}

void UITableView::selectRowAtIndexPath(std::optional<NSIndexPath> ip, bool animated,
                                       UITableViewScrollPosition pos) {
    if (selected_)
        if (auto* old = cellForRowAtIndexPath(*selected_)) old->setSelected(false, animated);
    selected_ = ip;
    if (!ip) return;
    if (auto* cell = cellForRowAtIndexPath(*ip)) cell->setSelected(true, animated);
    if (pos != UITableViewScrollPosition::None) scrollToRowAtIndexPath(*ip, pos, animated);
}

void UITableView::deselectRowAtIndexPath(NSIndexPath ip, bool animated) {
    if (auto* cell = cellForRowAtIndexPath(ip)) cell->setSelected(false, animated);
    if (selected_ == ip) selected_.reset();
}

void UITableView::scrollToRowAtIndexPath(NSIndexPath ip, UITableViewScrollPosition pos,
                                         bool animated) {
    CGRect r = rectForRowAtIndexPath(ip);
    CGPoint o = contentOffset();
    const double h = bounds().size.height;
    switch (pos) {
        case UITableViewScrollPosition::Top:
            o.y = r.origin.y;
            break;
        case UITableViewScrollPosition::Middle:
            o.y = r.origin.y - (h - r.size.height) / 2;
            break;
        case UITableViewScrollPosition::Bottom:
            o.y = r.origin.y + r.size.height - h;
            break;
        case UITableViewScrollPosition::None:
            scrollRectToVisible(r, animated);
            return;
    }
    CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
    o.y = std::clamp(o.y, lo.y, hi.y);
    setContentOffset(o, animated);
}

bool UITableView::canSwipeToDelete(NSIndexPath ip) {
    auto ds = dataSource.lock();
    if (!ds || !ds->tableViewCanEditRowAtIndexPath(this, ip)) return false;
    auto dl = tableDelegate.lock();
    UITableViewDelegate& d = dl ? *dl : defaultDelegate();
    return d.tableViewEditingStyleForRowAtIndexPath(this, ip) ==
           UITableViewCellEditingStyle::Delete;
}

void UITableView::hideSwipe() {
    if (!swiped_) return;
    if (auto* cell = cellForRowAtIndexPath(*swiped_)) cell->hideDeleteButton();
    swiped_.reset();
}

void UITableView::handleSwipe(UIPanGestureRecognizer& pan) {
    if (pan.state() != UIGestureRecognizerState::Ended) return;
    CGPoint t = pan.translationInView(this);
    CGPoint start = pan.locationInView(this);
    start.x -= t.x;
    start.y -= t.y;
    auto ip = indexPathForRowAtPoint(start);
    if (t.x > kSwipeDistance) {
        hideSwipe();
        return;
    }
    if (t.x > -kSwipeDistance || !ip || !canSwipeToDelete(*ip)) return;
    auto dl = tableDelegate.lock();
    UITableViewDelegate& d = dl ? *dl : defaultDelegate();
    hideSwipe();
    UITableViewCell* cell = cellForRowAtIndexPath(*ip);
    if (!cell) return;
    swiped_ = ip;
    std::weak_ptr<UITableView> weak = weakSelf<UITableView>();
    const NSIndexPath row = *ip;
    cell->showDeleteButton(d.tableViewTitleForDeleteConfirmationButton(this, row), [weak, row] {
        auto self = weak.lock();
        if (!self) return;
        self->hideSwipe();
        if (auto source = self->dataSource.lock())
            source->tableViewCommitEditingStyle(self.get(), UITableViewCellEditingStyle::Delete,
                                                row);
    });
}

void UITableView::touchesBegan(const UITouchSet& touches, UIEvent*) {
    if (touches.empty()) return;
    if (swiped_) {
        // A touch elsewhere only puts the open delete button away.
        hideSwipe();
        pressed_.reset();
        return;
    }
    // A finger that stopped the list gliding picks no row.
    if (touchStoppedGlide(touches.front().get())) {
        pressed_.reset();
        return;
    }
    pressed_ = allowsSelection ? indexPathForRowAtPoint(touches.front()->locationInView(this))
                               : std::nullopt;
    if (pressed_) {
        pressedTouch_ = touches.front();
        if (auto* cell = cellForRowAtIndexPath(*pressed_)) cell->setHighlighted(true, false);
    }
}

void UITableView::touchesEnded(const UITouchSet& touches, UIEvent*) {
    if (!pressed_ || touches.empty()) return;
    NSIndexPath ip = *pressed_;
    pressed_.reset();
    pressedTouch_.reset();
    if (auto* cell = cellForRowAtIndexPath(ip)) cell->setHighlighted(false, false);
    if (indexPathForRowAtPoint(touches.front()->locationInView(this)) != ip) return;
    auto keep = sharedSelf<UITableView>();
    selectRowAtIndexPath(ip, false, UITableViewScrollPosition::None);
    if (auto d = tableDelegate.lock()) d->tableViewDidSelectRowAtIndexPath(this, ip);
}

void UITableView::touchesCancelled(const UITouchSet&, UIEvent*) {
    if (pressed_)
        if (auto* cell = cellForRowAtIndexPath(*pressed_)) cell->setHighlighted(false, false);
    pressed_.reset();
    pressedTouch_.reset();
}

}  // namespace platform::ui
