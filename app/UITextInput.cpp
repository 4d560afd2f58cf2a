#include "app/UITextInput.h"

#include "app/AccountScreenKit.h"
#include "platform/ui/NavigationController.h"

using namespace platform::ui;

UITextInput::UITextInput(int tag, const std::string& title, const std::string& itemLabel,
                         const std::string& value)
    : _tag(tag), _itemLabel(itemLabel), _value(value) {
    setTitle(title);
}

void UITextInput::viewDidLoad() {
    BaseViewController::viewDidLoad();
    makeView();
}

void UITextInput::makeView() {
    accountkit::dressSettingsScreen(*this);
    setupLeftMenuButton();
    setupRightMenuButton();

    _list = accountkit::addSettingsTable(*view(), weakSelf<UITableViewDataSource>(),
                                         weakSelf<UITableViewDelegate>());
    makeCell();
}

void UITextInput::viewDidLayoutSubviews() {
    _list->setFrame(accountkit::belowBars(*view()));
}

void UITextInput::setupLeftMenuButton() {
    accountkit::setupBackButton(*this, kTagBack, [weak = weakSelf<UITextInput>()](UIControl* s) {
        if (auto self = weak.lock()) self->buttonPressed(s);
    });
}

void UITextInput::makeCell() {
    _cells.clear();
    auto cell = std::make_shared<CellTextField>(_itemLabel, kTagRow, "");
    cell->txtField()->setText(_value);
    cell->txtField()->keyboardType = UIKeyboardType::NumberPad;
    cell->delegate = weakSelf<SettingDelegate>();
    cell->selectionStyle = UITableViewCellSelectionStyle::None;
    _cells.push_back(std::move(cell));
}

void UITextInput::onValueChange(const std::string& value, int Tag) {
    if (Tag != kTagRow) return;
    if (auto d = settingDelegate()) d->onValueChange(value, _tag);
}

void UITextInput::buttonPressed(UIControl* sender) {
    if (!sender || sender->tag() != kTagBack) return;
    if (accountkit::isDeviceLandscape()) return;
    if (auto* nav = navigationController()) nav->popToRootViewControllerAnimated(true);
}

UITableViewCellPtr UITextInput::tableViewCellForRowAtIndexPath(UITableView*,
                                                               NSIndexPath indexPath) {
    return _cells[static_cast<size_t>(indexPath.row)];
}
