#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>

#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/View.h"

namespace platform::ui {

class UIScrollView;

// Every method is optional.
class UIScrollViewDelegate {
  public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(UIScrollView*) {}
    virtual void scrollViewWillBeginDragging(UIScrollView*) {}
    virtual void scrollViewDidEndDragging(UIScrollView*, bool willDecelerate) {
        (void)willDecelerate;
    }
    virtual void scrollViewDidEndDecelerating(UIScrollView*) {}
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView*) {}
};

// A view whose content (its subviews) is larger than itself and moves under
// a one-finger pan. The content offset is the bounds' origin; the content
// size and insets limit it. A pan begins only along an axis that can scroll
// (vertically when the content is no wider than the view), so a sideways
// swipe in a vertical list is left to others. Past the ends the content
// follows the finger at half speed and springs back on release; a fast
// release glides on for a while.
class UIScrollView : public UIView {
  public:
    explicit UIScrollView(const CGRect& frame = CGRectZero);

    CGSize contentSize() const { return contentSize_; }
    void setContentSize(CGSize size);
    CGPoint contentOffset() const { return bounds().origin; }
    void setContentOffset(CGPoint offset);
    void setContentOffset(CGPoint offset, bool animated);
    UIEdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(UIEdgeInsets inset);
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool e);
    bool bounces = true;
    bool alwaysBounceVertical = false;
    bool alwaysBounceHorizontal = false;
    bool showsVerticalScrollIndicator = true;
    bool showsHorizontalScrollIndicator = true;
    bool pagingEnabled = false;
    bool scrollsToTop = true;
    std::weak_ptr<UIScrollViewDelegate> delegate;

    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    UIPanGestureRecognizer* panGestureRecognizer() const { return pan_.get(); }
    void scrollRectToVisible(const CGRect& rect, bool animated);

    // The offsets the content may rest at.
    CGPoint minimumContentOffset() const;
    CGPoint maximumContentOffset() const;
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;

  protected:
    // Whether the touch is the finger that stopped a glide as it came down
    // (such a touch only stops the content: a table selects nothing with it).
    bool touchStoppedGlide(const UITouch* touch) const;
    // Hooks for subclasses (tables, pull to refresh).
    virtual void didScroll();
    virtual void didEndDragging();

  private:
    class ScrollPan;
    void handlePan(UIPanGestureRecognizer& pan);
    // A finger down on a gliding (or springing back) content stops it where
    // it shows; lifted without a drag, it lets content held past an end
    // spring back.
    void fingerDown(const std::shared_ptr<UITouch>& touch);
    void fingerUp();
    void glideTo(CGPoint target);
    // Ends a glide with the content where it shows.
    void stopGlide();
    CGPoint clamp(CGPoint p) const;

    CGSize contentSize_{};
    UIEdgeInsets contentInset_{};
    bool scrollEnabled_ = true;
    bool dragging_ = false;
    bool decelerating_ = false;
    bool gliding_ = false;  // inside glideTo's animation block
    CGPoint dragStart_{};
    std::weak_ptr<UITouch> glideStopper_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
};

}  // namespace platform::ui
