#pragma once

#include "ui/toolkit/KAVDrawerController.h"

// Ready-made looks for a drawer's opening (the container's visual-state
// hook): each block sets the drawer's layer transform for the percentage
// visible; the container puts the drawer back flat after every open and
// close.
class KAVDrawerVisualState {
  public:
    // Grows from 90% and slides 50 points in while fading in.
    static DrawerControllerDrawerVisualStateBlock slideAndScaleVisualStateBlock();
    // Slides in with the centre (parallax with factor 1).
    static DrawerControllerDrawerVisualStateBlock slideVisualStateBlock();
    // Swings open like a door hinged at the centre's edge, in perspective.
    static DrawerControllerDrawerVisualStateBlock swingingDoorVisualStateBlock();
    // Slides in at 1/factor of the centre's speed.
    static DrawerControllerDrawerVisualStateBlock parallaxVisualStateBlockWithParallaxFactor(
        platform::ui::CGFloat parallaxFactor);
};
