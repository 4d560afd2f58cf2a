#include "ui/toolkit/BaseTableViewCell.h"

#include "ui/toolkit/AppDelegateServices.h"

BaseTableViewCell::BaseTableViewCell(platform::ui::UITableViewCellStyle style,
                                     const std::string& reuseIdentifier)
    : UITableViewCell(style, reuseIdentifier) {
    if (auto app = AppDelegateServices::shared()) {
        bizSDK_ = app->bizSDK();
        sysdb_ = app->sysdb();
    }
}
