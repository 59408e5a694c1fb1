#include "containers/container_json.h"

#include <charconv>
#include <stdexcept>

#include "containers/json_input.h"
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

std::string member_path(const std::string& parent, const std::string& key) {
  return parent.empty() ? key : parent + "." + key;
}

int32_t parse_id(const std::string& key, const std::string& where) {
  int32_t id = 0;
  const auto result = std::from_chars(key.data(), key.data() + key.size(), id);
  if (result.ec != std::errc() || result.ptr != key.data() + key.size()) {
    throw ContainerJsonError(where, "container keys must be 32-bit integer ids");
  }
  return id;
}

HostContainer read_container(const json& object, int32_t id, const std::string& path, int depth);

ContainerValue value_from_json(const json& value, int32_t id, const std::string& where, int depth) {
  const auto bad = [&where](const std::string& what) { return ContainerJsonError(where, what); };
  switch (value.type()) {
    case json::value_t::boolean:
      return value.get<bool>();
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      // A plain integer is a 32-bit one; wider ones are written as {"int64": "N"}.
      if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(INT32_MAX))
        throw bad("integer does not fit in 32 bits");
      const auto wide = value.get<int64_t>();
      if (wide < INT32_MIN || wide > INT32_MAX) throw bad("integer does not fit in 32 bits");
      return static_cast<int32_t>(wide);
    }
    case json::value_t::number_float:
      return value.get<double>();
    case json::value_t::string:
      return StringValue{from_utf8(value.get<std::string>())};
    case json::value_t::object: {
      if (value.size() == 1 && value.contains("time")) {
        const json& time = value["time"];
        const std::string time_where = member_path(where, "time");
        const auto is_int64 = [](const json& n) {
          return n.is_number_integer() &&
                 (!n.is_number_unsigned() || n.get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX));
        };
        if (!time.is_array() || time.size() != 2 || !is_int64(time[0]) || !is_int64(time[1])) {
          throw ContainerJsonError(time_where, "must be [numerator, denominator] integers");
        }
        const TimeValue result{time[0].get<int64_t>(), time[1].get<int64_t>()};
        if (result.den <= 0) throw ContainerJsonError(time_where, "denominator must be positive");
        return result;
      }
      if (value.size() == 1 && value.contains("file")) {
        if (!value["file"].is_string())
          throw ContainerJsonError(member_path(where, "file"), "must be a string");
        return FilenameValue{value["file"].get<std::string>()};
      }
      if (value.size() == 1 && value.contains("int64")) {
        const json& number = value["int64"];
        if (number.is_number_unsigned() && number.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
          throw bad("integer does not fit in 64 bits");
        if (number.is_number_integer()) return number.get<int64_t>();
        if (!number.is_string()) throw bad("\"int64\" needs an integer");
        const std::string text = number.get<std::string>();
        int64_t parsed = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size())
          throw bad("\"int64\" needs an integer");
        return parsed;
      }
      return std::make_shared<HostContainer>(read_container(value, id, where, depth + 1));
    }
    default:
      throw bad("is not a container value (boolean, number, string, time, file or object)");
  }
}

// Outside JSON is refused deeper than this while it is parsed; the reader keeps the same limit so that
// it never recurses without bound whatever JSON it is given.
HostContainer read_container(const json& object, int32_t id, const std::string& path, int depth) {
  if (!object.is_object()) throw ContainerJsonError(path, "must be an object of ids");
  if (depth > kMaxJsonDepth)
    throw ContainerJsonError(path, "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep");
  HostContainer container(id);
  for (const auto& [key, value] : object.items()) {
    const std::string where = member_path(path, key);
    const int32_t value_id = parse_id(key, where);
    container.values[value_id] = value_from_json(value, value_id, where, depth);
  }
  return container;
}

}  // namespace

nlohmann::json container_to_json(const HostContainer& container) {
  json object = json::object();
  for (const auto& [id, value] : container.values) object[std::to_string(id)] = value_to_json(value);
  return object;
}

HostContainer container_from_json(const nlohmann::json& object, int32_t id, const std::string& path) {
  return read_container(object, id, path, 1);
}

}  // namespace zorhost
