// Container values read as integers the same way in every family that reads them.
#include "containers/container_integer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/host_table.h"
#include "documents/scene_document.h"

using zorhost::container_integer;
using zorhost::ContainerValue;

TEST(ContainerInteger, ClampsToTheTargetAndTakesNoNonFiniteOrNonNumericValue) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(true)), 1);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(-7)), -7);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(int64_t{1} << 40)), INT32_MAX);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(-(int64_t{1} << 40))), INT32_MIN);
  EXPECT_EQ(container_integer<int64_t>(ContainerValue((int64_t{1} << 62) + 1)), (int64_t{1} << 62) + 1);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(2.9)), 2);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(-2.9)), -2);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(3e9)), INT32_MAX);
  EXPECT_EQ(container_integer<int64_t>(ContainerValue(1e19)), INT64_MAX);
  EXPECT_EQ(container_integer<int64_t>(ContainerValue(-1e19)), INT64_MIN);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(std::nan(""))), std::nullopt);
  EXPECT_EQ(container_integer<int64_t>(ContainerValue(-inf)), std::nullopt);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(zorhost::StringValue{U"12"})), std::nullopt);
  EXPECT_EQ(container_integer<int32_t>(ContainerValue(zorhost::TimeValue{3, 1})), std::nullopt);

  // the containers and documents families answer alike, with the caller's default for no integer
  HostRenderData data;
  const HostContainerTable& containers = *zorhost::containers_table();
  const HostDocumentTable& documents = *zorhost::documents_table();
  containers.set_float(&data.settings, 1, 1e12);
  containers.set_float(&data.settings, 2, std::nan(""));
  containers.set_float(&data.settings, 3, -320.75);
  containers.set_int64(&data.settings, 4, int64_t{-1} << 40);
  const int32_t expected[] = {INT32_MAX, 17, -320, INT32_MIN, 17};
  for (int32_t id = 1; id <= 5; ++id) {
    EXPECT_EQ(containers.get_int32(&data.settings, id, 17), expected[id - 1]) << id;
    EXPECT_EQ(documents.get_parameter_int(&data, id, 17), expected[id - 1]) << id;
  }
}
