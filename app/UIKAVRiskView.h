#pragma once

#include <cstdint>
#include <memory>

#include "platform/ui/Label.h"
#include "platform/ui/View.h"

// The risk panel of the account screen: the risk ratio as a percentage and
// as a coloured bar in a track, and under a rule the net value and the free
// margin side by side.
class UIKAVRiskView : public platform::ui::UIView {
  public:
    static constexpr long kTagBar = 1001;
    // Inset of the bar inside its track.
    static constexpr float kBarMargin = 3;
    // Share of the panel's height above the rule.
    static constexpr double kUpperBand = 0.45;
    // What the ratio shows before the first figures, and any figure that is
    // not a finite number.
    static constexpr const char* kNoFigure = "--";

    UIKAVRiskView(const platform::ui::CGRect& frame, int style);

    void makeView();
    // Shows the ratio (as a percentage), the bar at `riskPercent` of its
    // track (held to 0..1, nothing for a value that is no number) in the
    // colour of the ratio, the net value and the free margin ("--" for a
    // figure that is no finite number). The risk level is not shown.
    void updataWithRisk(float risk, double netValue, double freeMargin, float riskPercent,
                        int32_t riskLevel);

    void layoutSubviews() override;

    platform::ui::UILabel* lblRisk() const { return lblRisk_.get(); }
    platform::ui::UILabel* lblNetValue() const { return lblNetValue_.get(); }
    platform::ui::UILabel* lblFreeMargins() const { return lblFreeMargins_.get(); }
    platform::ui::UIView* bar() const { return bar_.get(); }
    float riskBarWidth() const { return riskBarWidth_; }
    float barMargin() const { return barMargin_; }
    int style() const { return style_; }

  private:
    // The bar's share of its track, as last shown.
    float shownPercent_ = 1;
    float riskBarWidth_ = 0;
    float barMargin_ = kBarMargin;
    int style_ = 0;

    platform::ui::UIViewPtr container_;
    std::shared_ptr<platform::ui::UILabel> lblRisk_;
    platform::ui::UIViewPtr track_;
    platform::ui::UIViewPtr bar_;
    platform::ui::UIViewPtr innerOutline_;
    platform::ui::UIViewPtr outerOutline_;
    platform::ui::UIViewPtr rule_;
    std::shared_ptr<platform::ui::UILabel> netCaption_;
    std::shared_ptr<platform::ui::UILabel> lblNetValue_;
    platform::ui::UIViewPtr divider_;
    std::shared_ptr<platform::ui::UILabel> freeCaption_;
    std::shared_ptr<platform::ui::UILabel> lblFreeMargins_;
    platform::ui::UIViewPtr bottomRule_;
};
