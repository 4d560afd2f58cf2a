#include "app/UIShakeSet.h"

#include "app/AccountScreenKit.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;
using accountkit::localized;

UIShakeSet::UIShakeSet(int tag, const std::string& value)
    : _tag(tag), _value(value.empty() ? "0" : value), __sysDB(std::make_shared<sysDB>()) {}

void UIShakeSet::makeView() {
    setTitle(localized(kTitle));
    SettingsScreen::makeView();
}

void UIShakeSet::makeCell() {
    _sections.clear();
    auto onOff =
        std::make_shared<CellSwitch>(localized("摇一摇功能"), _tag, _value == "0" ? "0" : "1");
    onOff->delegate = weakSelf<SettingDelegate>();
    onOff->selectionStyle = UITableViewCellSelectionStyle::None;
    _sections.push_back({onOff});
    if (_value != "0") onValueChange("1", _tag);
}

std::vector<UITableViewCellPtr> UIShakeSet::makeChoices() {
    const std::string limit = "限价单";
    // The dealer's captions are loaded in the session's store only (a store
    // made here has none): the choice must read as the settings row and the
    // menu do.
    const sysDB& labels = sysdb() ? *sysdb() : *__sysDB;
    const std::string limitLabel = labels.getLabelWithKey(limit, limit);
    std::string pending = localized("进入%@");
    pending.replace(pending.find("%@"), 2, limitLabel);
    const std::string texts[] = {localized("进入报价牌"), localized("进入资金账户"), pending};
    std::vector<UITableViewCellPtr> choices;
    for (int i = 0; i < 3; ++i) {
        auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::Default, "");
        cell->setTag(i + 1);
        cell->textLabel()->setText(texts[i]);
        cell->textLabel()->setTextColor(kavtheme::dimText());
        cell->setBackgroundColor(kavtheme::panelBackground());
        cell->selectionStyle = UITableViewCellSelectionStyle::None;
        choices.push_back(std::move(cell));
    }
    return choices;
}

CellSwitch* UIShakeSet::switchCell() const {
    return _sections.empty() ? nullptr : dynamic_cast<CellSwitch*>(_sections[0].front().get());
}

std::vector<UITableViewCell*> UIShakeSet::choiceCells() const {
    std::vector<UITableViewCell*> out;
    if (_sections.size() > static_cast<size_t>(kSectionChoices))
        for (const auto& cell : _sections[kSectionChoices])
            out.push_back(cell.get());
    return out;
}

void UIShakeSet::onValueChange(const std::string& value, int Tag) {
    if (Tag == _tag) {
        const bool shown = _sections.size() > static_cast<size_t>(kSectionChoices);
        if (value == "1") {
            // Turning on keeps the stored action until a choice is tapped.
            if (!shown) _sections.push_back(makeChoices());
        } else {
            _value = "0";
            if (shown) _sections.pop_back();
        }
        _list->reloadData();
    }
    reportValue();
}

void UIShakeSet::reportValue() {
    if (auto d = settingDelegate()) d->onValueChange(_value, _tag);
}

long UIShakeSet::tableViewNumberOfRowsInSection(UITableView*, long section) {
    if (section < 0 || section >= static_cast<long>(_sections.size())) return 0;
    return static_cast<long>(_sections[static_cast<size_t>(section)].size());
}

UITableViewCellPtr UIShakeSet::tableViewCellForRowAtIndexPath(UITableView*, NSIndexPath indexPath) {
    auto cell =
        _sections[static_cast<size_t>(indexPath.section)][static_cast<size_t>(indexPath.row)];
    if (indexPath.section == kSectionChoices) {
        // The mark follows what is stored, read afresh and as the shake
        // itself reads it.
        const int32_t stored = __sysDB->integerWithTag(_tag);
        cell->setAccessoryType(cell->tag() == stored ? UITableViewCellAccessoryType::Checkmark
                                                     : UITableViewCellAccessoryType::None);
    }
    return cell;
}

void UIShakeSet::tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath indexPath) {
    if (indexPath.section != kSectionChoices ||
        _sections.size() <= static_cast<size_t>(kSectionChoices))
        return;
    const auto& choices = _sections[kSectionChoices];
    if (indexPath.row < 0 || indexPath.row >= static_cast<long>(choices.size())) return;
    for (const auto& cell : choices)
        cell->setAccessoryType(UITableViewCellAccessoryType::None);
    const auto& chosen = choices[static_cast<size_t>(indexPath.row)];
    chosen->setAccessoryType(UITableViewCellAccessoryType::Checkmark);
    _value = std::to_string(chosen->tag());
    reportValue();
}
