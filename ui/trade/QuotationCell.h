#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Decimal.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "ui/toolkit/BaseTableViewCell.h"
#include "ui/trade/LSQuotation.h"

class LabelPrice;

// A row of the quotation board: time of the last quote (and a clock when the
// symbol has pending orders), name and spread at the left; the direction of
// the last move, bid with the day's low and ask with the day's high at the
// right, in the colour of the last move.
class QuotationCell final : public BaseTableViewCell {
  public:
    static constexpr double kRowHeight = 65;
    static constexpr const char* kIdentifier = "QUOTA_ITEM_CELL";

    QuotationCell(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier,
                  const ScreenContext& context);
    ~QuotationCell() override;

    // Fills the cell from the row; keeps the row's colour of the last move.
    void showCellWithLsQuotation(LSQuotation& quotation);
    // Keeps the row's colour of the last move as showing the row does: the
    // colour of its move, or of the last move before a flat one (grey when
    // it never moved). The move colour of the row.
    static platform::ui::UIColor noteMove(LSQuotation& quotation);
    void layoutSubviews() override;

    // The colour the prices were last shown in.
    const platform::ui::UIColor& moveColor() const { return moveColor_; }
    platform::ui::UILabel* timeLabel() const { return lblTime_.get(); }
    platform::ui::UIImageView* clockView() const { return imgClock_.get(); }
    platform::ui::UILabel* nameLabel() const { return lblName_.get(); }
    platform::ui::UILabel* spreadLabel() const { return lblSpread_.get(); }
    platform::ui::UIImageView* directionView() const { return imgUpOrDown_.get(); }
    LabelPrice* sellPrice() const { return lblSell_.get(); }
    LabelPrice* buyPrice() const { return lblBuy_.get(); }
    platform::ui::UILabel* lowLabel() const { return lblLow_.get(); }
    platform::ui::UILabel* highLabel() const { return lblHigh_.get(); }

  private:
    void makeViews();
    // The unchanged arrow in the colour of the last move, made once per colour.
    const platform::ui::UIImagePtr& sameImage(const platform::ui::UIColor& colour);

    std::shared_ptr<platform::ui::UILabel> lblTime_;
    std::shared_ptr<platform::ui::UIImageView> imgClock_;
    std::shared_ptr<platform::ui::UILabel> lblName_;
    std::shared_ptr<platform::ui::UILabel> lblSpread_;
    std::shared_ptr<platform::ui::UIImageView> imgUpOrDown_;
    std::shared_ptr<LabelPrice> lblSell_;
    std::shared_ptr<LabelPrice> lblBuy_;
    std::shared_ptr<platform::ui::UILabel> lblLow_;
    std::shared_ptr<platform::ui::UILabel> lblHigh_;
    std::shared_ptr<platform::ui::UIView> separator_;
    platform::ui::UIImagePtr imgUp_;
    platform::ui::UIImagePtr imgDown_;
    platform::ui::UIImagePtr imgSameRise_;
    platform::ui::UIImagePtr imgSameFall_;
    platform::ui::UIImagePtr imgSameFlat_;
    platform::ui::UIColor moveColor_;
    std::string spreadCaption_;
    // The values the texts show, so that a quote writes only what it changes.
    struct Shown {
        const platform::ui::UIImage* direction = nullptr;
        std::optional<bool> clock;
        std::optional<std::string> name;
        std::optional<std::optional<double>> time;
        std::optional<int32_t> spread;
        bool prices = false;
        platform::Decimal bid, ask;
        float bidFloat = 0, askFloat = 0;
        bool lowHigh = false;
        platform::Decimal low, high;
        int32_t decimal = 0;
        // The views have their places (layoutSubviews).
        bool placed = false;
    } shown_;
};
