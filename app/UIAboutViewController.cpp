#include "app/UIAboutViewController.h"

#include "app/AccountScreenKit.h"
#include "platform/ui/Bundle.h"
#include "ui/services/ioFile.h"

using namespace platform::ui;

void UIAboutViewController::viewDidLoad() {
    BaseViewController::viewDidLoad();
    initData();
    makeView();
}

void UIAboutViewController::initData() {
    const std::string name = std::string(kNoticeDealerKey) + "_risk";
    std::optional<platform::Json> parsed;
    if (auto path = NSBundle::mainBundle().pathForResource(name, "json", "DealerDEF")) {
        if (auto data = ioFile::openFileFullPath(path->string()))
            parsed = platform::parseJson(*data);
    }
    if (parsed && parsed->is_object()) {
        _riskContent = std::move(*parsed);
    } else {
        _riskContent = platform::Json{{"title", kTitle}, {"content", ""}};
    }
}

void UIAboutViewController::makeView() {
    automaticallyAdjustsScrollViewInsets = false;
    setTitle(accountkit::localized(kTitle));
    accountkit::useBlackNavigationBar(*this);
    view()->setBackgroundColor(UIColor::grey255(40));
    setupLeftMenuButton();
    setupRightMenuButton();

    auto scroll = std::make_shared<UIScrollView>();
    scroll->setTag(kTagScroll);
    view()->addSubview(scroll);

    textView_ = std::make_shared<UITextView>();
    // A number shows its decimal text; a notice without text shows nothing.
    textView_->setText(platform::jsonString(_riskContent, "content"));
    textView_->setTextAlignment(NSTextAlignment::Justified);
    textView_->setFont(UIFont::systemFontOfSize(16));
    textView_->setTextColor(UIColor::grey255(120));
    textView_->editable = false;
    scroll->addSubview(textView_);
}

void UIAboutViewController::viewDidLayoutSubviews() {
    const CGRect b = view()->bounds();
    auto scroll = view()->viewWithTag<UIScrollView>(kTagScroll);
    scroll->setFrame(accountkit::belowBars(*view()));
    // As tall as the screen, never wider than the scroll view: no sideways scrolling.
    scroll->setContentSize(CGSizeMake(b.size.width, b.size.height));
    textView_->setFrame(CGRectMake(0, 0, b.size.width, b.size.height));
}

void UIAboutViewController::setupLeftMenuButton() {
    accountkit::setupBackButton(*this, kTagBack,
                                [weak = weakSelf<UIAboutViewController>()](UIControl* sender) {
                                    if (auto self = weak.lock()) self->buttonPressed(sender);
                                });
}

void UIAboutViewController::buttonPressed(UIControl* sender) {
    if (!sender || sender->tag() != kTagBack) return;
    // A phone turned on its side must not close the notice by accident.
    if (accountkit::isDeviceLandscape()) return;
    dismissViewControllerAnimated(true);
}
