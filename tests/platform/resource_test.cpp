#include <gtest/gtest.h>

#include "platform/resource.h"

namespace {

// This program declares no resources: it links against the empty table.
TEST(ResourceFind, FindsNothingInAProgramWithoutResources) {
  EXPECT_EQ(zelvaro_resource_table.count, 0);
  const BYTE* data = reinterpret_cast<const BYTE*>(1);
  DWORD size = 5;
  EXPECT_FALSE(ResourceFind(ResourceKey::Text("DATA"), ResourceKey::Text("DEMO3D"), &data, &size));
  EXPECT_FALSE(ResourceFind(ResourceKey::Id(2), ResourceKey::Id(101), &data, &size));
  EXPECT_EQ(size, 5u);
}

}  // namespace
