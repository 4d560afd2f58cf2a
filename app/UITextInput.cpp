#include "app/UITextInput.h"

using namespace platform::ui;

UITextInput::UITextInput(int tag, const std::string& title, const std::string& itemLabel,
                         const std::string& value)
    : _tag(tag), _itemLabel(itemLabel), _value(value) {
    setTitle(title);
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

UITableViewCellPtr UITextInput::tableViewCellForRowAtIndexPath(UITableView*,
                                                               NSIndexPath indexPath) {
    return _cells[static_cast<size_t>(indexPath.row)];
}
