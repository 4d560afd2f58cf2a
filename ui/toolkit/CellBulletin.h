#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODBulletin.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

// A row of the bulletin list: the bulletin as a white rounded card with its
// title, one line of its content, a thin rule, and under the rule the date
// at the left and the publisher at the right beside a small detail icon.
// The list gives every row 110 points; the card fills it but for a margin of
// 10 above and at the sides.
class CellBulletin : public platform::ui::UITableViewCell {
  public:
    static constexpr const char* kReuseIdentifier = "BULLETIN_ITEM_CELL";
    static constexpr platform::ui::CGFloat kRowHeight = 110;

    CellBulletin(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier);

    // Makes the card on first use, then shows the bulletin's texts.
    void showCellWithMod(const MODBulletin& mod);

    // Lays the card out again for the current width.
    void layoutSubviews() override;

    platform::ui::UIView* box() const { return box_.get(); }
    platform::ui::UIView* split() const { return split_.get(); }
    platform::ui::UILabel* title() const { return title_.get(); }
    platform::ui::UILabel* txtdetail() const { return txtdetail_.get(); }
    platform::ui::UILabel* date() const { return date_.get(); }
    platform::ui::UILabel* publish() const { return publish_.get(); }
    platform::ui::UIImageView* imgDetail() const { return imgDetail_.get(); }

  private:
    void applyFrames();

    platform::ui::UIViewPtr box_;
    platform::ui::UIViewPtr split_;
    std::shared_ptr<platform::ui::UILabel> title_;
    std::shared_ptr<platform::ui::UILabel> txtdetail_;
    std::shared_ptr<platform::ui::UILabel> date_;
    std::shared_ptr<platform::ui::UILabel> publish_;
    std::shared_ptr<platform::ui::UIImageView> imgDetail_;
};
