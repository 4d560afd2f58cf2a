#pragma once

// A connection the quote benchmarks feed by hand. Unlike the tests' fake it
// keeps only the last text sent and delivers a message built once, so the
// figures measure the quote road and not the fake.

#include <memory>
#include <string>

#include "Core/webSocket.h"

namespace kavbench {

class BenchConnection : public KAVChannelConnection {
  public:
    void setDelegate(std::weak_ptr<Delegate> d) override { delegate_ = std::move(d); }
    void open() override {}
    bool send(std::string text) override {
        sent = std::move(text);
        return true;
    }
    void close() override {}

    void fireOpen() {
        if (auto d = delegate_.lock()) d->connectionDidOpen(*this);
    }
    void fireText(const KAVWebSocketMessage& message) {
        if (auto d = delegate_.lock()) d->connectionDidReceive(*this, message);
    }
    std::string sent;

  private:
    std::weak_ptr<Delegate> delegate_;
};

}  // namespace kavbench
