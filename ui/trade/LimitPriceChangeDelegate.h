#pragma once

// Told of each step a price input made, with the price it now shows. Optional:
// the default does nothing.
class LimitPriceChangeDelegate {
  public:
    virtual ~LimitPriceChangeDelegate() = default;
    virtual void limitPriceChange(float price) { (void)price; }
};
