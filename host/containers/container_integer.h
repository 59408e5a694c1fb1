// Container values read as integers: the one conversion the containers, documents and render families
// share, so that a setting reads the same whichever family reads it.
//  - a bool is 0 or 1;
//  - a 32- or 64-bit integer is clamped to the target type's range;
//  - a float is cut toward zero and clamped to the range; NaN and the infinities are no integer;
//  - a time, file name, text or sub-container is no integer, and neither is a missing value.
// "No integer" is an empty answer: the caller's default applies.
#pragma once
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "containers/container_impl.h"

namespace zorhost {

template <class T>
std::optional<T> integer_from_float(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  // Both limits are exact or round up to a power of two, so everything strictly between them casts.
  constexpr double low = static_cast<double>(std::numeric_limits<T>::min());
  constexpr double high = static_cast<double>(std::numeric_limits<T>::max());
  if (value <= low) return std::numeric_limits<T>::min();
  if (value >= high) return std::numeric_limits<T>::max();
  return static_cast<T>(value);
}

template <class T>
std::optional<T> container_integer(const ContainerValue& value) {
  constexpr int64_t low = std::numeric_limits<T>::min();
  constexpr int64_t high = std::numeric_limits<T>::max();
  if (const auto* b = std::get_if<bool>(&value)) return *b ? 1 : 0;
  if (const auto* i = std::get_if<int32_t>(&value)) return static_cast<T>(std::clamp<int64_t>(*i, low, high));
  if (const auto* i = std::get_if<int64_t>(&value)) return static_cast<T>(std::clamp<int64_t>(*i, low, high));
  if (const auto* f = std::get_if<double>(&value)) return integer_from_float<T>(*f);
  return std::nullopt;
}

template <class T>
std::optional<T> container_integer(const HostContainer& container, int32_t id) {
  const auto found = container.values.find(id);
  if (found == container.values.end()) return std::nullopt;
  return container_integer<T>(found->second);
}

}  // namespace zorhost
