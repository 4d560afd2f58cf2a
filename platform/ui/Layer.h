#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/Path.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_matrix cairo_matrix_t;

namespace platform::ui {

class Canvas;
class CALayer;
class ShadowCache;
using CALayerPtr = std::shared_ptr<CALayer>;

// The animatable state of a layer: the model values, or the presentation
// values (model with running animations applied).
struct CALayerState {
    CGRect bounds{};
    CGPoint position{};
    CGPoint anchorPoint{0.5, 0.5};
    CATransform3D transform = CATransform3DIdentity;
    double opacity = 1;
    bool hidden = false;
    UIColor backgroundColor = UIColor::clearColor();
    double cornerRadius = 0;
    double borderWidth = 0;
    UIColor borderColor = UIColor::blackColor();
    UIColor shadowColor = UIColor::blackColor();
    double shadowOpacity = 0;
    CGSize shadowOffset{0, -3};
    double shadowRadius = 3;
    CGPathRef shadowPath;
    // Shape layers.
    double strokeStart = 0;
    double strokeEnd = 1;

    CGRect frame() const;
    // The layer's own coordinates mapped to its superlayer's (affine part).
    CGAffineTransform toSuperlayer() const;
};

// What a view does for its layer: draws the content and says whether its
// animations may block touches.
class CALayerDelegate {
  public:
    virtual ~CALayerDelegate() = default;
    // Draws the layer's content (drawRect of a view); the canvas is in the
    // layer's bounds coordinates. Returns false when there is nothing to draw
    // (the layer then keeps no cached drawing).
    virtual bool drawLayer(CALayer& layer, Canvas& canvas) = 0;
    // Where drawLayer would put ink, told without drawing (bounds
    // coordinates; null when nowhere). A layer whose delegate can tell keeps
    // no drawing: it is drawn straight onto the screen wherever its ink is
    // drawn again (clipped to the bounds where it may reach past them),
    // which costs less than recording it at every change and replaying the
    // recording. False: only drawing it tells (the default).
    virtual bool drawingInk(CALayer& layer, CGRect& ink) {
        (void)layer;
        (void)ink;
        return false;
    }
    // Whether the told drawing is drawn straight where its ink falls on
    // those pixels of the screen (null: not on whole pixels, or turned);
    // else it is recorded there. A picture is, only where it keeps its own
    // pixels: scaled or across pixels, its blend rounds a level apart from
    // its replayed recording's.
    virtual bool drawsStraightOnto(const CGRect& pixels) {
        (void)pixels;
        return true;
    }
    // What the told drawing shows and where (bounds coordinates), for a
    // drawing recorded where it cannot be drawn straight: the same subject in
    // the same place draws the same, so a layer that flips among a few (the
    // board's arrow) keeps their recordings and records each once, and keeps
    // the pixels replaying them gives at each place within a pixel, put down
    // again wherever the drawing lands the same way. Null: the drawing says
    // nothing of what it shows (the default).
    virtual std::shared_ptr<const void> drawingSubject(CALayer& layer, CGRect& place) {
        (void)layer;
        (void)place;
        return nullptr;
    }
};

// A node of the drawn tree: geometry, look and sublayers. Every view has one;
// free-standing layers (separator lines, rings, the shadow of a container) are
// added to a view's layer. Always held by shared_ptr (use CALayer::layer()).
// The superlayer link is weak: a layer never keeps its superlayer alive.
//
// Property changes of a free-standing layer animate implicitly for 0.25 s
// unless a transaction disables actions; changes of a view's layer animate
// only inside a view animation block.
//
// Every change tells the screen what to draw again: a change of the look
// (colours, content) the layer's own area, a change of geometry or
// visibility the area the layer and its sublayers covered and the area they
// cover now. A frame with no change draws nothing (UIScreenRenderer).
class CALayer : public std::enable_shared_from_this<CALayer> {
  public:
    static CALayerPtr layer() { return std::make_shared<CALayer>(); }
    CALayer();
    virtual ~CALayer();
    CALayer(const CALayer&) = delete;
    CALayer& operator=(const CALayer&) = delete;

    // Geometry.
    CGRect bounds() const { return model_.bounds; }
    void setBounds(const CGRect& b);
    CGPoint position() const { return model_.position; }
    void setPosition(CGPoint p);
    CGPoint anchorPoint() const { return model_.anchorPoint; }
    void setAnchorPoint(CGPoint p);
    CATransform3D transform() const { return model_.transform; }
    void setTransform(const CATransform3D& t);
    CGAffineTransform affineTransform() const {
        return CATransform3DGetAffineTransform(model_.transform);
    }
    void setAffineTransform(const CGAffineTransform& t) {
        setTransform(CATransform3DMakeAffineTransform(t));
    }
    // Derived from bounds, position, anchor point and transform.
    CGRect frame() const { return model_.frame(); }
    void setFrame(const CGRect& f);
    double zPosition = 0;  // kept, not used for ordering

    // Look.
    double opacity() const { return model_.opacity; }
    void setOpacity(double o);
    bool isHidden() const { return model_.hidden; }
    void setHidden(bool h);
    UIColor backgroundColor() const { return model_.backgroundColor; }
    void setBackgroundColor(const UIColor& c);
    double cornerRadius() const { return model_.cornerRadius; }
    void setCornerRadius(double r);
    double borderWidth() const { return model_.borderWidth; }
    void setBorderWidth(double w);
    UIColor borderColor() const { return model_.borderColor; }
    void setBorderColor(const UIColor& c);
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool m);
    UIColor shadowColor() const { return model_.shadowColor; }
    void setShadowColor(const UIColor& c);
    double shadowOpacity() const { return model_.shadowOpacity; }
    void setShadowOpacity(double o);
    CGSize shadowOffset() const { return model_.shadowOffset; }
    void setShadowOffset(CGSize o);
    double shadowRadius() const { return model_.shadowRadius; }
    void setShadowRadius(double r);
    CGPathRef shadowPath() const { return model_.shadowPath; }
    void setShadowPath(CGPathRef p);
    // Image content, drawn over the background filling the bounds.
    UIImagePtr contents() const { return contents_; }
    void setContents(UIImagePtr image);
    // Kept for the visual-state blocks; drawing is always vector.
    bool shouldRasterize = false;
    double rasterizationScale = 1;
    std::string name;

    // Tree.
    const std::vector<CALayerPtr>& sublayers() const { return sublayers_; }
    CALayer* superlayer() const { return superlayer_; }
    void addSublayer(const CALayerPtr& layer);
    void insertSublayerAtIndex(const CALayerPtr& layer, size_t index);
    void insertSublayerBelow(const CALayerPtr& layer, const CALayer* sibling);
    void insertSublayerAbove(const CALayerPtr& layer, const CALayer* sibling);
    void removeFromSuperlayer();

    // Coordinates (model values).
    CGPoint convertPointToLayer(CGPoint p, const CALayer* other) const;
    CGPoint convertPointFromLayer(CGPoint p, const CALayer* other) const;
    CGRect convertRectToLayer(const CGRect& r, const CALayer* other) const;

    // Content.
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    // Free-standing layers with custom drawing override this.
    virtual void drawInContext(Canvas& canvas);
    CALayerDelegate* delegate() const { return delegate_; }
    void setDelegate(CALayerDelegate* d);

    // Animations.
    // Adds a copy of the animation under the key (a new one replaces an older
    // one with the same key, which then stops unfinished). Empty key: unique.
    void addAnimation(const CAAnimationPtr& animation, const std::string& key = "");
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    CAAnimationPtr animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    // True while an animation started by a view animation block without the
    // allow-user-interaction option runs on this layer.
    bool blocksInteraction() const;

    // The values drawn now.
    CALayerState presentation() const;
    // The opacity drawn now: the model's, or as the running animations have
    // it (a view fading out is drawn while its model says 0).
    double presentationOpacity() const {
        return animations_.empty() ? model_.opacity : presentation().opacity;
    }
    const CALayerState& model() const { return model_; }
    AnimValue modelValueForKeyPath(const std::string& keyPath) const;
    AnimValue presentationValueForKeyPath(const std::string& keyPath) const;

    // Draws the layer and its sublayers into a cairo context whose user space
    // is the superlayer's coordinates. With `cull` (screen points), layers
    // whose area on the screen misses it are skipped; the areas must be
    // current (UIScreenRenderer::composite brings them up to date).
    void render(cairo_t* cr, const CGRect* cull = nullptr);
    // Draws the screen's root layers (bottom first) where they meet `areas`
    // (screen points, on the pixel grid), clipped to them: each area from the
    // last layer whose opaque background covers it whole, what lies under
    // that layer not drawn, or from the screen's black where nothing covers
    // it. The areas one layer covers are drawn in one walk of the layers,
    // clipped to them all; each walk draws from an opaque background up, so
    // no pixel is blended twice.
    static void renderAreas(cairo_t* cr, const std::vector<CALayer*>& roots,
                            const std::vector<CGRect>& areas);

    // Screen bookkeeping (UIScreenRenderer). The area of the screen (points)
    // the layer and its sublayers covered when last composited; null when
    // not drawn.
    CGRect compositedExtent() const { return drawnExtent_; }
    // The layer and its sublayers are drawn again at the next frame (a
    // window came to the front).
    void setNeedsComposite() { invalidateGeometry(); }
    // Brings the screen areas of what changed below this layer up to date and
    // reports the areas to draw again; `superlayerToScreen` maps the
    // superlayer's coordinates to the screen, and `shown` is the part of the
    // screen the superlayers' clips leave to it (what lies outside it is not
    // seen: a drawing changed there is made when it is drawn).
    void updateCompositedExtent(const CGAffineTransform& superlayerToScreen,
                                bool coveredByAncestor = false,
                                const CGRect& shown = CGRectMake(-1e9, -1e9, 2e9, 2e9));

    // Internal: views record their layers' changes in animation blocks.
    struct AnimationRecord;
    void addAnimationInternal(const CAAnimationPtr& animation, const std::string& key,
                              bool blocksInteraction);

  protected:
    // Shape layers draw their path here.
    virtual void drawOwnContent(cairo_t* cr, const CALayerState& state);
    // Property change hook: records the change for animation blocks and
    // implicit actions, then tells the screen what to draw again.
    void willChange(const char* keyPath);
    // What changed: the look inside the layer's area, or its geometry or
    // visibility (the area itself).
    void invalidateContent();
    void invalidateGeometry();
    // The area the layer draws itself (without sublayers) in its own
    // coordinates: the bounds, and the shadow around them.
    virtual CGRect ownDrawnArea(const CALayerState& state) const;
    // After a change of a free-standing layer: animates from `from`.
    void implicitAction(const char* keyPath, const AnimValue& from);

  protected:
    friend class UIView;
    void stopRecord(size_t index, bool finished, bool fromTimer);
    void renderContent(cairo_t* cr, const CALayerState& state);
    // Takes the delegate's ink when it can tell it (the delegate then draws
    // straight onto the screen); else records the delegate's (or
    // drawInContext's) drawing into the content cache and notes its ink.
    void recordDrawing(const CALayerState& state, bool mayDrawStraight = true);
    // Where a drawing of that ink may touch pixels at that many pixels per
    // unit of the layer, inside the bounds rounded out to whole units; null
    // when nowhere.
    static CGRect inkReach(const CGRect& ink, const CGRect& bounds, double pixelsPerUnit);
    // The delegate's drawing recorded, clipped to the bounds; null when it
    // tells it draws nothing.
    cairo_surface_t* makeRecording(const CALayerState& state);
    // Puts down the pixels kept of the told drawing's subject for the place
    // the context puts the layer at, made from its recording the first time
    // there; false where they would not be the pixels its recording replayed
    // gives (a context that is not the screen's pixels, a turned or mirrored
    // layer, a clip that cuts it), which is then drawn as before.
    bool drawKeptPicture(cairo_t* cr, const CALayerState& state,
                         const std::shared_ptr<const void>& subject, const CGRect& place);
    // render without setting the areas drawn (those of the walk it is in),
    // placed in the superlayer's place `outer`; leaves cairo's matrix where
    // the last layer drawn set it.
    void renderTree(cairo_t* cr, const cairo_matrix_t& outer);
    // Finds, in drawing order below this layer, for each of the areas
    // work[from, to) (indices into `areas`, screen points) the last layer
    // whose opaque background covers it whole, into `cover`.
    void findCovers(const CGRect* areas, std::vector<size_t>& work, size_t from, size_t to,
                    const CGAffineTransform& superlayerToScreen, const CALayer** cover) const;
    // The state drawn: the model's, or with running animations applied (made
    // in scratch only then).
    const CALayerState& drawnState(std::optional<CALayerState>& scratch) const;
    void markPathToRoot();
    void animationsChanged();
    // The screen area of a layer drawn in perspective.
    CGRect projectedArea(const CALayerState& state,
                         const CGAffineTransform& superlayerToScreen) const;

    CALayerState model_;
    bool masksToBounds_ = false;
    UIImagePtr contents_;
    std::vector<CALayerPtr> sublayers_;
    CALayer* superlayer_ = nullptr;
    CALayerDelegate* delegate_ = nullptr;
    bool needsDisplay_ = false;
    std::vector<std::unique_ptr<AnimationRecord>> animations_;
    uint64_t nextAnimationKey_ = 1;
    // Cached drawing of the content (cairo recording surface), and the area
    // it inks as measured (bounds coordinates; null when it draws nothing).
    void* contentCache_ = nullptr;
    CGRect drawingInk_ = CGRectNull;
    // Recordings of told drawings kept by their subject (drawingSubject);
    // contentCache_ may be one of them, then owned here.
    struct KeptDrawings;
    std::unique_ptr<KeptDrawings> keptDrawings_;
    bool cacheKept_ = false;
    // The delegate told its ink and draws straight onto the screen; the ink
    // as told.
    bool drawsStraight_ = false;
    CGRect toldInk_ = CGRectNull;
    // The shadow's blur, made once and kept while it stays the same.
    std::unique_ptr<ShadowCache> shadowCache_;
    // The bounds of the shadow path last measured (ownDrawnArea).
    mutable CGPathRef shadowShapeOf_;
    mutable CGRect shadowShape_ = CGRectNull;
    // The pixels of told drawings replayed at a few places within a pixel,
    // kept by subject (drawKeptPicture).
    struct PictureRasters;
    std::unique_ptr<PictureRasters> pictureRasters_;
    // Screen bookkeeping: what changed since the last frame, and where the
    // layer and its sublayers were drawn.
    bool contentDirty_ = false;
    // Only the recorded drawing changed (setNeedsDisplay).
    bool drawingDirty_ = false;
    bool geometryDirty_ = false;
    bool descendantDirty_ = false;
    bool registeredAnimating_ = false;
    // The place walked last (state's toSuperlayer) and whether it is drawn
    // in perspective; kept while placeKept_ (the model's, not animating).
    bool placeKept_ = false;
    bool perspective_ = false;
    CGRect drawnExtent_ = CGRectNull;
    CGAffineTransform place_{};
};

}  // namespace platform::ui
