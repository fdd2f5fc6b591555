// Shared helper of the GDI exchange tests.
#pragma once

#include <gtest/gtest.h>

#include "platform/bitmap.h"
#include "platform/screen.h"

// Expects, when it goes out of scope, as many live bitmaps and device
// contexts as when it was made.
struct GdiNoLeaks {
  size_t bitmaps = platform::GdiLiveObjects();
  size_t contexts = platform::LiveDeviceContexts();
  ~GdiNoLeaks() {
    EXPECT_EQ(platform::GdiLiveObjects(), bitmaps);
    EXPECT_EQ(platform::LiveDeviceContexts(), contexts);
  }
};
