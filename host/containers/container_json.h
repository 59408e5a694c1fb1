// The typed JSON form of a container, shared by stored settings, scene files and script files:
// true/false a bool, an integer number a 32-bit integer, a number with a fraction or an exponent a
// float, {"time": [num, den]} a time, {"file": "path"} a file name, {"int64": "N"} a 64-bit integer,
// a string a text, an object keyed by ids a sub-container (which reads back with its key as its id).
#pragma once
#include <nlohmann/json.hpp>

#include "containers/container_impl.h"

namespace zorhost {

nlohmann::json container_to_json(const HostContainer& container);
// Throws std::runtime_error naming the id and the problem when a value has no known form.
HostContainer container_from_json(const nlohmann::json& object, int32_t id);

}  // namespace zorhost
