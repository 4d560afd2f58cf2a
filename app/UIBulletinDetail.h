#pragma once

#include <memory>

#include "Core/Model/MODBulletin.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextView.h"
#include "ui/toolkit/BaseViewController.h"

// One bulletin read in full: title, date, publisher and text, in a modal
// navigation stack of its own. It shows the record it was given and is not
// updated.
class UIBulletinDetail : public BaseViewController {
  public:
    static constexpr long kTagBack = 1000;
    static constexpr const char* kTitle = "交易商公告";

    explicit UIBulletinDetail(std::shared_ptr<MODBulletin> mod) : mod_(std::move(mod)) {}

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    void makeView();
    void setupLeftMenuButton();
    void setupRightMenuButton() override {}
    void buttonPressed(platform::ui::UIControl* sender);

    const std::shared_ptr<MODBulletin>& mod() const { return mod_; }
    platform::ui::UILabel* bulletinTitle() const { return bulletinTitle_.get(); }
    platform::ui::UILabel* date() const { return date_.get(); }
    platform::ui::UILabel* publish() const { return publish_.get(); }
    platform::ui::UITextView* bulletinContent() const { return bulletinContent_.get(); }

  private:
    std::shared_ptr<MODBulletin> mod_;
    platform::ui::UIViewPtr panel_;
    std::shared_ptr<platform::ui::UILabel> bulletinTitle_;
    std::shared_ptr<platform::ui::UILabel> date_;
    std::shared_ptr<platform::ui::UILabel> publish_;
    platform::ui::UIViewPtr line_;
    std::shared_ptr<platform::ui::UITextView> bulletinContent_;
    platform::ui::UIViewPtr bottomBar_;
};
