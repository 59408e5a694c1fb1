// The typed JSON form of a container, shared by stored settings, scene files and script files:
// true/false a bool, an integer number a 32-bit integer, a number with a fraction or an exponent a
// float, {"time": [num, den]} a time, {"file": "path"} a file name, {"int64": "N"} a 64-bit integer,
// a string a text, an object keyed by ids a sub-container (which reads back with its key as its id).
#pragma once
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "containers/container_impl.h"

namespace zorhost {

// A value that has no known form, at a place named by its JSON path ("renderSettings.5008").
struct ContainerJsonError : std::runtime_error {
  ContainerJsonError(std::string place, std::string problem)
      : std::runtime_error(place + ": " + problem),
        where(std::move(place)),
        what_is_wrong(std::move(problem)) {}
  std::string where;
  std::string what_is_wrong;
};

nlohmann::json container_to_json(const HostContainer& container);
// path names the object in the document it comes from, for the error's place.
// Throws ContainerJsonError when a key is not an id or a value has no known form.
HostContainer container_from_json(const nlohmann::json& object, int32_t id, const std::string& path = "");

}  // namespace zorhost
