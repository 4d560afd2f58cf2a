#pragma once

#include <memory>
#include <string>

#include "platform/ui/TableView.h"
#include "ui/toolkit/ScreenContext.h"

// The base of the trading lists' cells: a cell is handed the session's
// trading service object and settings store by the list that makes it.
class BaseTableViewCell : public platform::ui::UITableViewCell {
  public:
    BaseTableViewCell(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier,
                      const ScreenContext& context);

    const std::shared_ptr<KAVBizSDK>& bizSDK() const { return bizSDK_; }
    void setBizSDK(std::shared_ptr<KAVBizSDK> sdk) { bizSDK_ = std::move(sdk); }
    const std::shared_ptr<sysDB>& sysdb() const { return sysdb_; }
    void setSysdb(std::shared_ptr<sysDB> store) { sysdb_ = std::move(store); }

  private:
    std::shared_ptr<KAVBizSDK> bizSDK_;
    std::shared_ptr<sysDB> sysdb_;
};
