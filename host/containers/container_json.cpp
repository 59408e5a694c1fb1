#include "containers/container_json.h"

#include <charconv>
#include <stdexcept>
#include <string_view>

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

// Where a value sits, as a chain up to the container's own path. The text is made only for an error:
// building it for every value would cost each value the length of its path.
struct Place {
  const Place* parent = nullptr;
  std::string_view key;
  std::string text() const {
    if (!parent) return std::string(key);
    std::string above = parent->text();
    return above.empty() ? std::string(key) : above + "." + std::string(key);
  }
};

int32_t parse_id(const std::string& key, const Place& where) {
  int32_t id = 0;
  const auto result = std::from_chars(key.data(), key.data() + key.size(), id);
  if (result.ec != std::errc() || result.ptr != key.data() + key.size()) {
    throw ContainerJsonError(where.text(), "container keys must be 32-bit integer ids");
  }
  return id;
}

void read_container(const json& object, const Place& where, int depth, HostContainer& container);

ContainerValue value_from_json(const json& value, int32_t id, const Place& where, int depth) {
  const auto bad = [&where](const std::string& what) { return ContainerJsonError(where.text(), what); };
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
        const Place time_where{&where, "time"};
        const auto is_int64 = [](const json& n) {
          return n.is_number_integer() &&
                 (!n.is_number_unsigned() || n.get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX));
        };
        if (!time.is_array() || time.size() != 2 || !is_int64(time[0]) || !is_int64(time[1])) {
          throw ContainerJsonError(time_where.text(), "must be [numerator, denominator] integers");
        }
        const TimeValue result{time[0].get<int64_t>(), time[1].get<int64_t>()};
        if (result.den <= 0) throw ContainerJsonError(time_where.text(), "denominator must be positive");
        return result;
      }
      if (value.size() == 1 && value.contains("file")) {
        if (!value["file"].is_string())
          throw ContainerJsonError(Place{&where, "file"}.text(), "must be a string");
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
      // Filled where it stays: a HostContainer is copied deeply, never moved, so one made first and
      // handed over would copy every level below it again at each level above.
      auto sub = std::make_shared<HostContainer>(id);
      read_container(value, where, depth + 1, *sub);
      return sub;
    }
    default:
      throw bad("is not a container value (boolean, number, string, time, file or object)");
  }
}

// Outside JSON is refused deeper than this while it is parsed; the reader keeps the same limit so that
// it never recurses without bound whatever JSON it is given.
void read_container(const json& object, const Place& where, int depth, HostContainer& container) {
  if (!object.is_object()) throw ContainerJsonError(where.text(), "must be an object of ids");
  if (depth > kMaxJsonDepth)
    throw ContainerJsonError(where.text(),
                             "nested more than " + std::to_string(kMaxJsonDepth) + " levels deep");
  for (auto member = object.begin(); member != object.end(); ++member) {
    const Place place{&where, member.key()};
    const int32_t value_id = parse_id(member.key(), place);
    container.values[value_id] = value_from_json(member.value(), value_id, place, depth);
  }
}

}  // namespace

nlohmann::json container_to_json(const HostContainer& container) {
  json object = json::object();
  for (const auto& [id, value] : container.values) object[std::to_string(id)] = value_to_json(value);
  return object;
}

HostContainer container_from_json(const nlohmann::json& object, int32_t id, const std::string& path) {
  HostContainer container(id);
  read_container(object, Place{nullptr, path}, 1, container);
  return container;
}

}  // namespace zorhost
