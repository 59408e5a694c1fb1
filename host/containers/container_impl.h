// What a HostContainer is inside zorhost: typed values keyed by id, in ascending id order.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <variant>

#include "zor_api.h"

struct HostContainer;

namespace zorhost {
struct TimeValue {
  int64_t num = 0;
  int64_t den = 1;
};
struct FilenameValue {
  std::string path;
};
struct StringValue {
  std::u32string text;
};
using ContainerValue = std::variant<bool, int32_t, int64_t, double, TimeValue, FilenameValue, StringValue,
                                    std::shared_ptr<HostContainer>>;
}  // namespace zorhost

struct HostContainer {
  int32_t id = 0;
  std::map<int32_t, zorhost::ContainerValue> values;
  HostContainer() = default;
  explicit HostContainer(int32_t container_id) : id(container_id) {}
  HostContainer(const HostContainer& other);  // deep copy of sub-containers
  HostContainer& operator=(const HostContainer& other);
  // Moving hands the sub-containers over; only a copy must duplicate them.
  HostContainer(HostContainer&&) noexcept = default;
  HostContainer& operator=(HostContainer&&) noexcept = default;
};

namespace zorhost {
const HostContainerTable* containers_table();
}  // namespace zorhost
