#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Canvas.h"
#include "platform/ui/Color.h"
#include "platform/ui/Event.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Responder.h"

namespace platform::ui {

class UIView;
class UIWindow;
class UIGestureRecognizer;
using UIViewPtr = std::shared_ptr<UIView>;
using UIGestureRecognizerPtr = std::shared_ptr<UIGestureRecognizer>;

enum UIViewAutoresizing : unsigned {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum class UIViewContentMode {
    ScaleToFill,
    ScaleAspectFit,
    ScaleAspectFill,
    Redraw,
    Center,
    Top,
    Bottom,
    Left,
    Right,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

enum UIViewAnimationOptions : unsigned {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
};

enum class UIViewTintAdjustmentMode { Automatic, Normal, Dimmed };

// A rectangle of the screen that draws itself and takes touches. Owned by
// its superview (shared_ptr in subviews()); the superview link is weak. The
// geometry lives in the view's layer: frame is derived from bounds, center
// and transform. Create views with std::make_shared.
//
// Layout: layoutSubviews runs in the window's layout pass (before drawing,
// or on layoutIfNeeded) when the view's bounds size changed, setNeedsLayout
// was called, or a subview was added; never for a mere move.
// Drawing: drawRect runs in the window's drawing pass after setNeedsDisplay
// (coalesced: many calls, one drawing) or a size change; its output is kept
// and reused while nothing asks for a redraw.
class UIView : public UIResponder, public CALayerDelegate {
  public:
    explicit UIView(const CGRect& frame = CGRectZero);
    ~UIView() override;

    CALayer& layer() const { return *layer_; }
    const CALayerPtr& layerPtr() const { return layer_; }

    // Geometry.
    CGRect frame() const { return layer_->frame(); }
    void setFrame(const CGRect& frame);
    CGRect bounds() const { return layer_->bounds(); }
    void setBounds(const CGRect& bounds);
    CGPoint center() const { return layer_->position(); }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return layer_->affineTransform(); }
    void setTransform(const CGAffineTransform& t);

    // Look.
    CGFloat alpha() const { return layer_->opacity(); }
    void setAlpha(CGFloat alpha);
    bool isHidden() const { return layer_->isHidden(); }
    void setHidden(bool hidden);
    // Clear means none (the platform's nil background).
    UIColor backgroundColor() const { return layer_->backgroundColor(); }
    virtual void setBackgroundColor(const UIColor& color);
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool clips) { layer_->setMasksToBounds(clips); }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool o) { opaque_ = o; }
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode m);
    // Inherited from the superview unless set; the system tint at the root;
    // grey while dimmed.
    UIColor tintColor() const;
    void setTintColor(std::optional<UIColor> color);
    UIViewTintAdjustmentMode tintAdjustmentMode() const;
    void setTintAdjustmentMode(UIViewTintAdjustmentMode mode);
    virtual void tintColorDidChange() {}

    // Touch handling switches.
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    virtual void setUserInteractionEnabled(bool e) { userInteractionEnabled_ = e; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool e) { multipleTouchEnabled_ = e; }
    bool isExclusiveTouch() const { return exclusiveTouch_; }
    void setExclusiveTouch(bool e) { exclusiveTouch_ = e; }

    // Identification.
    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    // This view or the first descendant (depth first) with the tag, as a T:
    // null when no view has the tag or the first one found is not a T. The
    // result keeps the view alive while the caller holds it.
    //     auto price = view()->viewWithTag<UILabel>(1003);
    //     if (price) price->setText(text);
    template <typename T = UIView>
    std::shared_ptr<T> viewWithTag(long tag) const {
        UIView* found = findViewWithTag(tag);
        return found ? found->sharedSelf<T>() : nullptr;
    }
    // Class name without namespace, for dumps and lookups.
    std::string className() const;
    // The text the view shows (labels, buttons, fields); empty for others.
    virtual std::string debugText() const { return {}; }

    // Accessibility: what a screen reader says for the view, and whether it
    // is one element to it (its subviews then are not).
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(const std::string& label) { accessibilityLabel_ = label; }
    bool isAccessibilityElement() const { return accessibilityElement_; }
    void setIsAccessibilityElement(bool element) { accessibilityElement_ = element; }

    // Tree.
    UIViewPtr superview() const;
    UIView* superviewRaw() const { return superview_; }
    const std::vector<UIViewPtr>& subviews() const { return subviews_; }
    UIWindow* window() const;
    void addSubview(const UIViewPtr& view);
    void insertSubviewAtIndex(const UIViewPtr& view, size_t index);
    void insertSubviewBelow(const UIViewPtr& view, const UIView* sibling);
    void insertSubviewAbove(const UIViewPtr& view, const UIView* sibling);
    void bringSubviewToFront(const UIView* view);
    void sendSubviewToBack(const UIView* view);
    void exchangeSubviewAtIndex(size_t a, size_t b);
    void removeFromSuperview();
    bool isDescendantOfView(const UIView* view) const;

    virtual void willMoveToSuperview(UIView* newSuperview) { (void)newSuperview; }
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(UIWindow* newWindow) { (void)newWindow; }
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(UIView* subview) { (void)subview; }
    virtual void willRemoveSubview(UIView* subview) { (void)subview; }

    // Coordinates; a null view means the window.
    CGPoint convertPointToView(CGPoint p, const UIView* view) const;
    CGPoint convertPointFromView(CGPoint p, const UIView* view) const;
    CGRect convertRectToView(const CGRect& r, const UIView* view) const;
    CGRect convertRectFromView(const CGRect& r, const UIView* view) const;

    // Layout.
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool a) { autoresizesSubviews_ = a; }
    virtual void layoutSubviews() {}
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Runs the pending layout of this view and its descendants now.
    void layoutIfNeeded();
    virtual CGSize sizeThatFits(CGSize size) const;
    void sizeToFit();

    // Drawing.
    virtual void drawRect(CGRect rect) { (void)rect; }
    void setNeedsDisplay();
    void setNeedsDisplayInRect(const CGRect&) { setNeedsDisplay(); }

    // Touches.
    virtual UIView* hitTest(CGPoint point, UIEvent* event);
    virtual bool pointInside(CGPoint point, UIEvent* event) const;
    const std::vector<UIGestureRecognizerPtr>& gestureRecognizers() const {
        return gestureRecognizers_;
    }
    void addGestureRecognizer(const UIGestureRecognizerPtr& recognizer);
    void removeGestureRecognizer(const UIGestureRecognizer* recognizer);
    // Resigns the first responder if it is this view or inside it.
    bool endEditing(bool force);

    // The controller whose view this is (set by the controller), or null.
    UIResponder* viewDelegate() const { return viewDelegate_; }
    void setViewDelegate(UIResponder* controller) { viewDelegate_ = controller; }
    UIResponder* nextResponder() const override;

    // Block animations: the block sets model values at once; what changed on
    // views' layers is drawn moving from the values shown when the block ran
    // to the new ones. The completion always runs later on the run loop, with
    // finished = false when an animation was removed or replaced before its end.
    static void animateWithDuration(double duration, std::function<void()> animations,
                                    std::function<void(bool finished)> completion = nullptr);
    static void animateWithDuration(double duration, double delay, unsigned options,
                                    std::function<void()> animations,
                                    std::function<void(bool finished)> completion);
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    static void performWithoutAnimation(const std::function<void()>& actions);

    // CALayerDelegate.
    bool drawLayer(CALayer& layer, Canvas& canvas) override;

  protected:
    // Subclasses with their own layer (none yet) would set it here.
    void boundsSizeChanged(CGSize oldSize);

  private:
    friend class UIWindow;
    UIView* findViewWithTag(long tag) const;
    void resizeSubviews(CGSize oldSize);
    void notifyWillMoveToWindow(UIWindow* w);
    void notifyDidMoveToWindow();
    void detachFromSuperview();

    CALayerPtr layer_;
    UIView* superview_ = nullptr;
    std::vector<UIViewPtr> subviews_;
    std::vector<UIGestureRecognizerPtr> gestureRecognizers_;
    UIResponder* viewDelegate_ = nullptr;
    long tag_ = 0;
    std::string accessibilityLabel_;
    bool accessibilityElement_ = false;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool exclusiveTouch_ = false;
    bool opaque_ = true;
    bool needsLayout_ = true;
    bool subtreeNeedsLayout_ = false;
    // The one subview below which layout was asked since the last pass
    // (null when several asked, or when it left): the pass goes straight
    // down to it, past its siblings.
    UIView* layoutChild_ = nullptr;
    bool autoresizesSubviews_ = true;
    unsigned autoresizingMask_ = 0;
    UIViewContentMode contentMode_ = UIViewContentMode::ScaleToFill;
    std::optional<UIColor> tintColor_;
    UIViewTintAdjustmentMode tintAdjustmentMode_ = UIViewTintAdjustmentMode::Automatic;
};

}  // namespace platform::ui
