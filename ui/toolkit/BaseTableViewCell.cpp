#include "ui/toolkit/BaseTableViewCell.h"

BaseTableViewCell::BaseTableViewCell(platform::ui::UITableViewCellStyle style,
                                     const std::string& reuseIdentifier,
                                     const ScreenContext& context)
    : UITableViewCell(style, reuseIdentifier), bizSDK_(context.bizSDK), sysdb_(context.sysdb) {}
