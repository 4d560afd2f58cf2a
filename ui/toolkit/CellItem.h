#pragma once

#include <memory>
#include <string>

#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

// A plain row of the account screens: a caption on a light ground at the
// left and a value at the right edge.
class CellItem : public platform::ui::UITableViewCell {
  public:
    CellItem(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier);

    // Builds the row on first use with the caption `LabelWidth` wide; later
    // calls only change the texts.
    void showItemWithLabel(const std::string& label, const std::string& Value,
                           platform::ui::CGFloat LabelWidth);

    // The account screens colour the value by its sign.
    const std::shared_ptr<platform::ui::UILabel>& cellLabel() const { return cellLabel_; }
    const std::shared_ptr<platform::ui::UILabel>& cellValue() const { return cellValue_; }

  private:
    platform::ui::UIViewPtr background_;
    std::shared_ptr<platform::ui::UILabel> cellLabel_;
    std::shared_ptr<platform::ui::UILabel> cellValue_;
};
