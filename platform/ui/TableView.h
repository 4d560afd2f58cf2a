#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"

namespace platform::ui {

class UITableView;

enum class UITableViewStyle { Plain = 0, Grouped = 1 };
enum class UITableViewScrollPosition { None = 0, Top = 1, Middle = 2, Bottom = 3 };
enum class UITableViewRowAnimation {
    Fade = 0,
    Right = 1,
    Left = 2,
    Top = 3,
    Bottom = 4,
    None = 5,
    Middle = 6,
    Automatic = 100
};

// What a table shows. numberOfRowsInSection and cellForRowAtIndexPath are
// needed; the rest have the platform's defaults. Swipe to delete is offered
// for rows whose canEditRowAtIndexPath answers true.
class UITableViewDataSource {
  public:
    virtual ~UITableViewDataSource() = default;
    virtual long numberOfSectionsInTableView(UITableView*) { return 1; }
    virtual long tableViewNumberOfRowsInSection(UITableView* table, long section) = 0;
    virtual UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView* table,
                                                              NSIndexPath indexPath) = 0;
    virtual std::string tableViewTitleForHeaderInSection(UITableView*, long) { return {}; }
    virtual bool tableViewCanEditRowAtIndexPath(UITableView*, NSIndexPath) { return false; }
    virtual void tableViewCommitEditingStyle(UITableView*, UITableViewCellEditingStyle,
                                             NSIndexPath) {}
};

// How a table looks and what it reports. Heights default to the table's
// rowHeight, sectionHeaderHeight and sectionFooterHeight (a header of a plain
// table without a title or view has no height).
class UITableViewDelegate {
  public:
    virtual ~UITableViewDelegate() = default;
    virtual double tableViewHeightForRowAtIndexPath(UITableView* table, NSIndexPath indexPath);
    virtual double tableViewHeightForHeaderInSection(UITableView* table, long section);
    virtual double tableViewHeightForFooterInSection(UITableView* table, long section);
    virtual UIViewPtr tableViewViewForHeaderInSection(UITableView*, long) { return nullptr; }
    virtual UIViewPtr tableViewViewForFooterInSection(UITableView*, long) { return nullptr; }
    virtual void tableViewWillDisplayCell(UITableView*, UITableViewCell*, NSIndexPath) {}
    virtual void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath) {}
    virtual void tableViewDidDeselectRowAtIndexPath(UITableView*, NSIndexPath) {}
    virtual UITableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(UITableView*,
                                                                               NSIndexPath) {
        return UITableViewCellEditingStyle::Delete;
    }
    virtual std::string tableViewTitleForDeleteConfirmationButton(UITableView*, NSIndexPath) {
        return "Delete";
    }
    // The scroll view callbacks of the table.
    virtual void scrollViewDidScroll(UIScrollView*) {}
};

// A vertical list of rows in sections with headers and footers, built from
// the data source; only the rows on screen have cells, and cells that leave
// the screen wait under their reuse identifier for dequeueReusableCell.
// A sideways drag is the table's only to offer a delete button (leftward, on
// a row that can be deleted) or to put the shown one away (rightward); every
// other sideways drag is left to the recognisers above the table.
class UITableView : public UIScrollView {
  public:
    explicit UITableView(const CGRect& frame = CGRectZero,
                         UITableViewStyle style = UITableViewStyle::Plain);

    UITableViewStyle style() const { return style_; }
    std::weak_ptr<UITableViewDataSource> dataSource;
    std::weak_ptr<UITableViewDelegate> tableDelegate;
    void setDataSource(std::weak_ptr<UITableViewDataSource> ds) { dataSource = std::move(ds); }
    void setDelegate(std::weak_ptr<UITableViewDelegate> d) { tableDelegate = std::move(d); }

    double rowHeight = 44;
    double sectionHeaderHeight = 22;
    double sectionFooterHeight = 22;
    UIColor separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const UIColor& c);
    UITableViewCellSeparatorStyle separatorStyle = UITableViewCellSeparatorStyle::SingleLine;
    UIEdgeInsets separatorInset{0, 15, 0, 0};
    bool allowsSelection = true;
    UIViewPtr tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(UIViewPtr v);
    UIViewPtr tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(UIViewPtr v);
    UIViewPtr backgroundView;

    void reloadData();
    // Without animation the rows are asked for when the table next lays out
    // or a cell of it is read (cellForRowAtIndexPath, visibleCells,
    // indexPathForCell), once however often they were reloaded meanwhile.
    void reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& paths,
                                UITableViewRowAnimation animation);
    void reloadSections(const std::vector<long>& sections, UITableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& paths,
                                UITableViewRowAnimation animation);
    void insertRowsAtIndexPaths(const std::vector<NSIndexPath>& paths,
                                UITableViewRowAnimation animation);
    void beginUpdates() {}
    void endUpdates() { reloadData(); }

    UITableViewCellPtr dequeueReusableCellWithIdentifier(const std::string& identifier);
    UITableViewCell* cellForRowAtIndexPath(NSIndexPath indexPath) const;
    std::vector<NSIndexPath> indexPathsForVisibleRows() const;
    std::vector<UITableViewCell*> visibleCells() const;
    std::optional<NSIndexPath> indexPathForCell(const UITableViewCell* cell) const;
    std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint p) const;
    CGRect rectForRowAtIndexPath(NSIndexPath indexPath) const;
    CGRect rectForHeaderInSection(long section) const;
    long numberOfSections() const { return static_cast<long>(sections_.size()); }
    long numberOfRowsInSection(long section) const;

    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }
    void selectRowAtIndexPath(std::optional<NSIndexPath> indexPath, bool animated,
                              UITableViewScrollPosition position);
    void deselectRowAtIndexPath(NSIndexPath indexPath, bool animated);
    void scrollToRowAtIndexPath(NSIndexPath indexPath, UITableViewScrollPosition position,
                                bool animated);

    // Cells made by the data source so far (reuse checks).
    size_t cellsCreatedOrDequeued() const { return cellRequests_; }
    size_t reusePoolSize(const std::string& identifier) const;

    void layoutSubviews() override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  protected:
    void didScroll() override;

  private:
    struct Section {
        double headerTop = 0, headerHeight = 0;
        double footerHeight = 0;
        std::vector<double> rowTops, rowHeights;
        UIViewPtr headerView, footerView;
    };
    void rebuildGeometry();
    // Rows went or came: every row is asked for again, in the table's new
    // length.
    void rowsChanged(bool animated);
    // Whether the rows are counted and the reloaded ones measured as the
    // table has them.
    bool geometryHolds(const std::vector<NSIndexPath>& paths, UITableViewDataSource* ds,
                       UITableViewDelegate& d);
    void reloadRowsNow(const std::vector<NSIndexPath>& paths, bool animated);
    // Asks for the rows reloaded without animation since the last layout.
    void flushReloads();
    void layoutVisibleCells(bool animated);
    UITableViewCellPtr makeCell(NSIndexPath ip);
    UITableViewCellPtr makeCell(UITableViewDataSource& ds, NSIndexPath ip);
    // Puts a cell in the reuse pool. `staysShown`: it stays in the table
    // until the rows are laid out again, where the row takes it back in
    // place (a reloaded row whose data source hands back the same cell).
    void enqueue(const UITableViewCellPtr& cell, bool staysShown = false);
    class SwipePan;
    bool canSwipeToDelete(NSIndexPath ip);
    void hideSwipe();
    void handleSwipe(UIPanGestureRecognizer& pan);
    UIViewPtr makeHeader(long section, const std::string& title) const;

    UITableViewStyle style_;
    UIColor separatorColor_ = UIColor::grey255(200);
    UIViewPtr tableHeaderView_;
    UIViewPtr tableFooterView_;
    std::vector<Section> sections_;
    // The rows on screen with their cells, in row order: a screenful, so a
    // flat array searched by halves (a quote reloads a row of it each frame).
    using VisibleRow = std::pair<NSIndexPath, UITableViewCellPtr>;
    std::vector<VisibleRow> visible_;
    std::vector<VisibleRow>::iterator visibleRow(NSIndexPath ip);
    std::vector<VisibleRow>::const_iterator visibleRow(NSIndexPath ip) const;
    // Shows the cell in the row (in its place in row order).
    void setVisible(NSIndexPath ip, UITableViewCellPtr cell);
    // Cells waiting for reuse, by identifier: a table has one or two.
    std::vector<std::pair<std::string, std::vector<UITableViewCellPtr>>> pool_;
    std::vector<UITableViewCellPtr>* poolOf(const std::string& identifier);
    // Cells of reloaded rows still shown while the rows are laid out again.
    std::vector<UITableViewCellPtr> leaving_;
    // The reloaded rows' cells of the flush under way (kept for its buffer).
    std::vector<VisibleRow> reloaded_;
    // The bounds the rows were last laid out in, every row on screen with
    // its cell in place; null when they must be laid out again.
    CGRect laidOut_ = CGRectNull;
    // Rows reloaded without animation, not yet asked for.
    std::vector<NSIndexPath> pendingReloads_;
    std::optional<NSIndexPath> selected_;
    std::optional<NSIndexPath> pressed_;
    // The finger on the pressed row: when a reload takes its cell away, the
    // touch is handed to the table, so the lift still reaches it.
    std::weak_ptr<UITouch> pressedTouch_;
    std::optional<NSIndexPath> swiped_;
    std::shared_ptr<SwipePan> swipe_;
    bool loaded_ = false;
    size_t cellRequests_ = 0;
};

}  // namespace platform::ui
