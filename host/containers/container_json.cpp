#include "containers/container_json.h"

#include <charconv>
#include <stdexcept>

#include "strings/string_impl.h"

namespace zorhost {
namespace {

using nlohmann::json;

json value_to_json(const ContainerValue& value) {
  return std::visit(
      [](const auto& v) -> json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, int32_t>) {
          return v;
        } else if constexpr (std::is_same_v<T, int64_t>) {
          return json{{"int64", std::to_string(v)}};
        } else if constexpr (std::is_same_v<T, double>) {
          return v;  // written with a fraction or exponent, so it reads back as a float
        } else if constexpr (std::is_same_v<T, TimeValue>) {
          return json{{"time", {v.num, v.den}}};
        } else if constexpr (std::is_same_v<T, FilenameValue>) {
          return json{{"file", v.path}};
        } else if constexpr (std::is_same_v<T, StringValue>) {
          return to_utf8(v.text);
        } else {
          return v ? container_to_json(*v) : json::object();
        }
      },
      value);
}

int32_t parse_id(const std::string& key) {
  int32_t id = 0;
  const auto result = std::from_chars(key.data(), key.data() + key.size(), id);
  if (result.ec != std::errc() || result.ptr != key.data() + key.size()) {
    throw std::runtime_error("'" + key + "' is not a container id");
  }
  return id;
}

ContainerValue value_from_json(const json& value, int32_t id) {
  const auto bad = [id](const std::string& what) {
    return std::runtime_error("value of id " + std::to_string(id) + ": " + what);
  };
  switch (value.type()) {
    case json::value_t::boolean:
      return value.get<bool>();
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      const auto wide = value.get<int64_t>();
      if (value.is_number_unsigned() && value.get<uint64_t>() > INT64_MAX) throw bad("integer out of range");
      if (wide < INT32_MIN || wide > INT32_MAX) return wide;
      return static_cast<int32_t>(wide);
    }
    case json::value_t::number_float:
      return value.get<double>();
    case json::value_t::string:
      return StringValue{from_utf8(value.get<std::string>())};
    case json::value_t::object: {
      if (value.size() == 1 && value.contains("time")) {
        const json& time = value["time"];
        if (!time.is_array() || time.size() != 2 || !time[0].is_number_integer() ||
            !time[1].is_number_integer()) {
          throw bad("\"time\" needs [numerator, denominator]");
        }
        return TimeValue{time[0].get<int64_t>(), time[1].get<int64_t>()};
      }
      if (value.size() == 1 && value.contains("file")) {
        if (!value["file"].is_string()) throw bad("\"file\" needs a path text");
        return FilenameValue{value["file"].get<std::string>()};
      }
      if (value.size() == 1 && value.contains("int64")) {
        const json& number = value["int64"];
        if (number.is_number_integer()) return number.get<int64_t>();
        if (!number.is_string()) throw bad("\"int64\" needs an integer");
        const std::string text = number.get<std::string>();
        int64_t parsed = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size())
          throw bad("\"int64\" needs an integer");
        return parsed;
      }
      return std::make_shared<HostContainer>(container_from_json(value, id));
    }
    default:
      throw bad("no container value has this form");
  }
}

}  // namespace

nlohmann::json container_to_json(const HostContainer& container) {
  json object = json::object();
  for (const auto& [id, value] : container.values) object[std::to_string(id)] = value_to_json(value);
  return object;
}

HostContainer container_from_json(const nlohmann::json& object, int32_t id) {
  if (!object.is_object()) throw std::runtime_error("a container must be an object keyed by ids");
  HostContainer container(id);
  for (const auto& [key, value] : object.items()) {
    const int32_t value_id = parse_id(key);
    container.values[value_id] = value_from_json(value, value_id);
  }
  return container;
}

}  // namespace zorhost
