#include "ui/toolkit/SettingCell.h"

#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

SettingCell::SettingCell(const std::string& title, int tag, const std::string& value)
    : Title_(title), Value_(value) {
    setTag(tag);
    setBackgroundColor(kavtheme::panelBackground());
    textLabel()->setText(Title_);
    textLabel()->setTextColor(kavtheme::dimText());
}

void SettingCell::setTitle(const std::string& title) {
    Title_ = title;
    textLabel()->setText(Title_);
}

void SettingCell::report(const std::string& value) {
    if (auto d = delegate.lock()) d->onValueChange(value, static_cast<int>(tag()));
}
