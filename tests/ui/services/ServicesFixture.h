#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "platform/Dates.h"
#include "platform/Files.h"
#include "platform/UserDefaults.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace kavtest {

// A fresh data folder (so a fresh user-defaults store) for each test.
class FreshDataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::files::setDataRoot(data_.path());
        platform::UserDefaults::resetStandard();
    }
    void TearDown() override {
        platform::files::setDataRoot({});
        platform::UserDefaults::resetStandard();
    }
    TempDir data_;
};

// Sets the time zone for the scope.
class Zone {
  public:
    explicit Zone(const char* tz) {
        tz_.emplace("TZ", tz);
        platform::dates::resetTimeZone();
    }
    ~Zone() {
        tz_.reset();
        platform::dates::resetTimeZone();
    }

  private:
    std::optional<ScopedEnv> tz_;
};

}  // namespace kavtest
