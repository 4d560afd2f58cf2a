#pragma once

#include <memory>

#include "platform/Json.h"
#include "platform/ui/Control.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextView.h"
#include "ui/toolkit/BaseViewController.h"

// The risk notice: a fixed text shipped in the bundle, the same whatever
// dealer is selected. The account centre presents it in a navigation stack
// of its own; the back button closes that stack.
class UIAboutViewController : public BaseViewController {
  public:
    static constexpr long kTagBack = 1001;
    static constexpr long kTagScroll = 4000;
    // The notice is always the built-in dealer's: "<key>_risk.json" in DealerDEF.
    static constexpr const char* kNoticeDealerKey = "KAVFX";
    static constexpr const char* kTitle = "风险提示";

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    void makeView();
    void setupLeftMenuButton();
    void setupRightMenuButton() override {}  // the notice has no right button
    void buttonPressed(platform::ui::UIControl* sender);
    // Reads the notice file; a missing or unreadable one, or one that is not
    // a JSON object, gives the title alone and an empty text.
    void initData();

    const platform::Json& riskContent() const { return _riskContent; }
    platform::ui::UITextView* textView() const { return textView_.get(); }

  private:
    platform::Json _riskContent;
    std::shared_ptr<platform::ui::UITextView> textView_;
};
