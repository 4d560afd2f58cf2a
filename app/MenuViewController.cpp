#include "app/MenuViewController.h"

#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace {
constexpr int kIconGrey = 180;
constexpr int kNavigationBarGrey = 60;
constexpr int kBackgroundGrey = 230;
}  // namespace

long MenuViewController::rowForShakeValue(long value) {
    const long row = value == 1 ? 0 : value == 2 ? 1 : value == 3 ? 4 : value;
    return row >= 0 && row < static_cast<long>(kRows.size()) ? row : -1;
}

void MenuViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    initData();
    makeView();
}

void MenuViewController::initData() {
    menuTitleArray_.clear();
    menuTypeArray_.clear();
    menuImageArray_.clear();
    for (const Row& row : kRows) {
        menuTitleArray_.push_back(sysdb() ? sysdb()->getLabelWithKey(row.title, row.title)
                                          : std::string(row.title));
        menuTypeArray_.push_back(centerScreenNumber(row.type));
        menuImageArray_.push_back(
            UIImageTintColor::imageWithTintColor(UIColor::grey255(kIconGrey), row.icon));
    }
}

void MenuViewController::makeView() {
    setTitle(kTitle);
    if (auto* nav = navigationController()) {
        nav->navigationBar()->setBarStyle(UIBarStyle::Black);
        nav->navigationBar()->setBarTintColor(UIColor::grey255(kNavigationBarGrey));
    }
    view()->setBackgroundColor(UIColor::grey255(kBackgroundGrey));
    // The table starts under the navigation bar.
    setEdgesForExtendedLayout(UIRectEdgeNone);
    const CGRect bounds = view()->bounds();
    auto table = std::make_shared<UITableView>(
        CGRectMake(0, 0, bounds.size.width, bounds.size.height), UITableViewStyle::Plain);
    table->setTag(kTagTable);
    table->separatorInset = UIEdgeInsetsZero;
    table->setDataSource(weakSelf<UITableViewDataSource>());
    table->setDelegate(weakSelf<UITableViewDelegate>());
    view()->addSubview(table);
}

void MenuViewController::viewDidLayoutSubviews() {
    if (auto table = view()->viewWithTag<UITableView>(kTagTable)) {
        const CGRect bounds = view()->bounds();
        table->setFrame(CGRectMake(0, 0, bounds.size.width, bounds.size.height));
    }
}

long MenuViewController::tableViewNumberOfRowsInSection(UITableView*, long) {
    return static_cast<long>(menuTitleArray_.size());
}

UITableViewCellPtr MenuViewController::tableViewCellForRowAtIndexPath(UITableView* table,
                                                                      NSIndexPath indexPath) {
    UITableViewCellPtr cell = table->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::Default, kCellIdentifier);
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
        cell->setAccessoryType(UITableViewCellAccessoryType::DisclosureIndicator);
    }
    const auto row = static_cast<size_t>(indexPath.row);
    if (row < menuTitleArray_.size()) {
        cell->imageView()->setImage(menuImageArray_[row]);
        cell->textLabel()->setText(menuTitleArray_[row]);
    }
    return cell;
}

void MenuViewController::tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath indexPath) {
    showRow(indexPath.row);
}

void MenuViewController::pushViewWith(long value) {
    const long row = rowForShakeValue(value);
    // Only 0 to 3 can be set; a stored value beyond the menu is left alone.
    if (row < 0) {
        platform::log(platform::stringf("摇一摇设置值【%ld】没有对应的菜单", value));
        return;
    }
    showRow(row);
}

void MenuViewController::showRow(long row) {
    if (row < 0 || row >= static_cast<long>(menuTypeArray_.size())) return;
    if (auto d = delegate())
        d->onCallNavigationControllerWithType(menuTypeArray_[static_cast<size_t>(row)], {});
}
