#pragma once

#include <memory>
#include <vector>

class KAVAlertView;

// Every alert shown now, the newest last. Only the newest is on screen;
// when it goes, the one below it comes back.
class KAVAlertViewStack {
  public:
    static KAVAlertViewStack& sharedInstance();

    // Shows the alert on top and takes the others off screen.
    void push(const std::shared_ptr<KAVAlertView>& alert);
    // Takes the alert off the stack; when it was the one on top, the newest
    // alert not being dismissed comes back on screen.
    void pop(const KAVAlertView* alert);

    const std::vector<std::shared_ptr<KAVAlertView>>& alertViews() const { return alertViews_; }

  private:
    KAVAlertViewStack() = default;
    std::vector<std::shared_ptr<KAVAlertView>> alertViews_;
};
