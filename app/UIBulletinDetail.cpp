#include "app/UIBulletinDetail.h"

#include "app/AccountScreenKit.h"

using namespace platform::ui;

void UIBulletinDetail::viewDidLoad() {
    BaseViewController::viewDidLoad();
    makeView();
}

void UIBulletinDetail::makeView() {
    setTitle(kTitle);
    accountkit::useBlackNavigationBar(*this);
    view()->setBackgroundColor(UIColor::grey255(30));
    setupLeftMenuButton();
    setupRightMenuButton();

    const MODBulletin shown = mod_ ? *mod_ : MODBulletin{};
    panel_ = std::make_shared<UIView>();
    panel_->setBackgroundColor(UIColor::whiteColor());
    view()->addSubview(panel_);

    bulletinTitle_ = std::make_shared<UILabel>();
    bulletinTitle_->setNumberOfLines(0);
    bulletinTitle_->setFont(UIFont::systemFontOfSize(18));
    bulletinTitle_->setBackgroundColor(UIColor::clearColor());
    bulletinTitle_->setText(shown.title);
    panel_->addSubview(bulletinTitle_);

    date_ = std::make_shared<UILabel>();
    date_->setTextColor(UIColor::grey255(180));
    date_->setTextAlignment(NSTextAlignment::Left);
    date_->setFont(UIFont::systemFontOfSize(12));
    date_->setText(shown.date);
    panel_->addSubview(date_);

    publish_ = std::make_shared<UILabel>();
    publish_->setTextColor(UIColor::grey255(180));
    publish_->setTextAlignment(NSTextAlignment::Right);
    publish_->setFont(UIFont::systemFontOfSize(12));
    publish_->setText(shown.publish);
    panel_->addSubview(publish_);

    line_ = std::make_shared<UIView>();
    line_->setBackgroundColor(UIColor::grey255(220));
    panel_->addSubview(line_);

    bulletinContent_ = std::make_shared<UITextView>();
    bulletinContent_->setTextAlignment(NSTextAlignment::Justified);
    bulletinContent_->setFont(UIFont::systemFontOfSize(16));
    bulletinContent_->setTextColor(UIColor::grey255(120));
    bulletinContent_->editable = false;
    bulletinContent_->setText(shown.content);
    panel_->addSubview(bulletinContent_);

    bottomBar_ = std::make_shared<UIView>();
    bottomBar_->setBackgroundColor(UIColor::grey255(220));
    panel_->addSubview(bottomBar_);
}

void UIBulletinDetail::viewDidLayoutSubviews() {
    const CGRect b = view()->bounds();
    panel_->setFrame(accountkit::belowBars(*view()));
    const CGFloat w = panel_->bounds().size.width;
    const CGFloat h = panel_->bounds().size.height;
    bulletinTitle_->setFrame(CGRectMake(10, 5, w - 20, 50));
    const CGFloat titleBottom = CGRectGetMaxY(bulletinTitle_->frame());
    date_->setFrame(CGRectMake(10, titleBottom, w, 20));
    publish_->setFrame(CGRectMake(10, titleBottom, w - 20, 20));
    line_->setFrame(CGRectMake(0, CGRectGetMaxY(publish_->frame()) + 2, w, 1));
    bulletinContent_->setFrame(
        CGRectMake(8, CGRectGetMaxY(line_->frame()) + 3, b.size.width - 14, h - titleBottom - 70));
    bottomBar_->setFrame(CGRectMake(0, h - 40, w, 40));
}

void UIBulletinDetail::setupLeftMenuButton() {
    accountkit::setupBackButton(*this, kTagBack,
                                [weak = weakSelf<UIBulletinDetail>()](UIControl* s) {
                                    if (auto self = weak.lock()) self->buttonPressed(s);
                                });
}

void UIBulletinDetail::buttonPressed(UIControl* sender) {
    if (!sender || sender->tag() != kTagBack) return;
    if (accountkit::isDeviceLandscape()) return;
    dismissViewControllerAnimated(true);
}
