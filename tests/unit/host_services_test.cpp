// The host's service families through their tables, as a module sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <sstream>
#include <string>

#include "app/command_line.h"
#include "app/host_options.h"
#include "app/host_table.h"
#include "containers/container_integer.h"
#include "core/core_framework.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "strings/string_impl.h"
#include "unit/host_test_support.h"
#include "unit/scene_test_support.h"
#include "unit/scratch_folder.h"

namespace fs = std::filesystem;
using namespace zorhost;
using namespace test_support;

namespace {

using Text = test_support::HostText;
using Name = test_support::HostName;

// What a host string holds, read through the table in the given form.
std::string text_of(const HostString* s, int32_t conversion = ZOR_STRING_UTF8) {
  std::string out(Strings().get_text_length(s, conversion) + 1, '\0');
  out.resize(Strings().get_text(s, out.data(), static_cast<int32_t>(out.size()), conversion));
  return out;
}

std::string format(double value, int int_digits, int fraction_digits, bool exponent = false,
                   char32_t fill = U' ') {
  Text out;
  Strings().from_float(out, value, int_digits, fraction_digits, exponent, fill);
  return out.Utf8();
}

fs::path fresh_folder(const std::string& name) {
  static const test_support::ScratchFolder parent("zorhost_test_");
  const fs::path folder = parent.path() / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

}  // namespace

TEST(HostStrings, FloatFormattingRoundsHalfAwayFromZeroAndPads) {
  EXPECT_EQ(format(12.344, -5, 2), "12.34");
  EXPECT_EQ(format(12345, 4, 0), "12345");
  EXPECT_EQ(format(0.005, -5, 2), "0.01");
  EXPECT_EQ(format(-0.1 * 100, -5, 2), "-10.00");
  EXPECT_EQ(format(2.675, 0, 2), "2.68");   // decimal half, although the double lies below it
  EXPECT_EQ(format(-2.5, 0, 0), "-3");      // away from zero, not to even
  EXPECT_EQ(format(9.996, 0, 2), "10.00");  // carry into a new integer digit
  EXPECT_EQ(format(-0.001, 0, 2), "0.00");  // no negative zero
  EXPECT_EQ(format(-7, 3, 0, false, U'0'), "-007");
  EXPECT_EQ(format(7, 3, 1, false, U' '), "  7.0");
  EXPECT_EQ(format(12345.678, 0, 2, true), "1.23E+04");
  EXPECT_EQ(format(9.999, 0, 2, true), "1.00E+01");
  EXPECT_EQ(format(0.00012, 0, 1, true), "1.2E-04");
  // a digit count past 64 is taken as 64, however large
  const std::string sixty_four = "1.5" + std::string(63, '0');
  for (const int32_t digits : {65, 100000, INT32_MAX}) {
    EXPECT_EQ(format(1.5, 0, digits), sixty_four) << digits;
    EXPECT_EQ(format(1.5, 0, digits, true), sixty_four + "E+00") << digits;
    EXPECT_EQ(format(-1, digits, 0, false, U'0'), "-" + std::string(63, '0') + "1") << digits;
  }
}

TEST(HostStrings, NumbersParseOnlyWhenTheWholeTextIsANumber) {
  const std::pair<const char*, int64_t> ints[] = {
      {"-42", -42}, {"+7", 7}, {"-9223372036854775808", INT64_MIN}};
  const std::pair<const char*, double> floats[] = {{"1.25", 1.25}, {"-.5e1", -5.0}, {"3", 3.0}};
  int32_t error = -1;
  for (const auto& [text, value] : ints) {
    EXPECT_EQ(Strings().to_int(Text(text), &error), value);
    EXPECT_EQ(error, 0) << text;
  }
  for (const auto& [text, value] : floats) {
    EXPECT_DOUBLE_EQ(Strings().to_float(Text(text), &error), value);
    EXPECT_EQ(error, 0) << text;
  }
  const std::pair<bool, std::vector<const char*>> bad[] = {
      // as a float?, texts
      {false, {"", " 1", "1 ", "12a", "1.5", "+-1", "-", "9223372036854775808", "0x10"}},
      {true, {"", "1.5 ", " 1.5", "inf", "nan", "1e", ".", "1.5Outdated", "--1"}}};
  for (const auto& [asFloat, texts] : bad)
    for (const char* text : texts) {
      error = 0;
      asFloat ? (void)Strings().to_float(Text(text), &error) : (void)Strings().to_int(Text(text), &error);
      EXPECT_NE(error, 0) << "'" << text << "'";
    }
  Strings().to_float(Text("x"), nullptr);  // a caller that does not ask for the error
}

TEST(HostStrings, EscapedAndUtf8ConversionsRoundTrip) {
  const std::u32string original = U"Gr\u00fc\u00dfe \u65e5\u672c \U0001F600 C:\\users\\u1234x \\ \\U0001F600";
  HostString text{original};
  const std::string escaped = text_of(&text, ZOR_STRING_7BIT_ESCAPED);
  for (unsigned char c : escaped) EXPECT_LT(c, 0x80);  // the escapes themselves are the codec's
  const std::pair<std::string, int32_t> forms[] = {
      {escaped, ZOR_STRING_UTF8}, {escaped, ZOR_STRING_7BIT_ESCAPED}, {text_of(&text), ZOR_STRING_UTF8}};
  for (const auto& [written, conversion] : forms) {
    HostString back;
    Strings().set_text(&back, written.c_str(), -1, conversion);
    EXPECT_EQ(back.text, original) << written;
  }

  // a short buffer never cuts a character or an escape
  char buffer[9];
  Text accents("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9");
  EXPECT_EQ(Strings().get_text(accents, buffer, sizeof buffer, ZOR_STRING_7BIT_ESCAPED), 6);
  EXPECT_STREQ(buffer, "\\u00E9");
  EXPECT_EQ(Strings().get_text(accents, buffer, 0, ZOR_STRING_UTF8), 0);
}

TEST(HostStrings, CompareByCodePointAndEditing) {
  const auto cmp = [](const char* a, const char* b) { return Strings().compare(Text(a), Text(b)); };
  EXPECT_LT(cmp("Z", "a"), 0);
  EXPECT_LT(cmp("z", "\xc3\xa9"), 0);
  EXPECT_LT(cmp("\xef\xbf\xbf", "\xf0\x9f\x98\x80"), 0);  // U+FFFF before U+1F600
  EXPECT_GT(cmp("b", "abc"), 0);
  EXPECT_EQ(cmp("same", "same"), 0);
  EXPECT_FALSE(Strings().equal(Text("Case"), Text("case")));

  Text s("hello world");
  EXPECT_EQ(Strings().find(s, Text("o"), 5), 7);
  EXPECT_EQ(Strings().find(s, Text("o"), 8), -1);
  Strings().sub(s, 6, 100, s);
  EXPECT_EQ(s.Utf8(), "world");
  Strings().append(s, s);
  EXPECT_EQ(s.Utf8(), "worldworld");
  EXPECT_EQ(Strings().char_at(s, 100), 0u);
}

TEST(HostFiles, NamesAndDrivePaths) {
  options().prefs_dir = "/prefs";
  options().drives = {{'D', "/data"}};
  const auto joined = [](const char* a, const char* b) {
    Name base(a), name(b), out;
    Files().fn_join(out, base, name);
    return out.Path();
  };
  EXPECT_EQ(joined("/a/b/", "c.txt"), "/a/b/c.txt");
  EXPECT_EQ(joined("C:\\dir", "file"), "C:\\dir\\file");
  EXPECT_EQ(joined("/a", "/abs"), "/abs");
  EXPECT_EQ(joined("", "rel"), "rel");

  const auto part = [](const char* path, bool directory) {
    Name in(path), out;
    directory ? Files().fn_directory(in, out) : Files().fn_file(in, out);
    return out.Path();
  };
  EXPECT_EQ(part("C:\\x\\y.txt", true), "C:\\x");
  EXPECT_EQ(part("C:\\y.txt", true), "C:\\");
  EXPECT_EQ(part("/top", true), "/");
  EXPECT_EQ(part("/a/b/", false), "b");
  EXPECT_EQ(part("plain", true), "");

  Name script("out/script_US.TXT");
  EXPECT_TRUE(Files().fn_check_suffix(script, ".Txt"));
  EXPECT_FALSE(Files().fn_check_suffix(script, "tx"));
  EXPECT_FALSE(Files().fn_check_suffix(Name("dir.d/h"), "d"));
  EXPECT_FALSE(Files().fn_check_suffix(Name(".profile"), "profile"));
  Files().fn_set_suffix(script, "tif");
  EXPECT_EQ(script.Path(), "out/script_US.tif");
  Files().fn_set_suffix(script, "");
  EXPECT_EQ(script.Path(), "out/script_US");
  Name dotted("v1.2/name");
  Files().fn_set_suffix(dotted, "h");
  EXPECT_EQ(dotted.Path(), "v1.2/name.h");

  EXPECT_TRUE(Files().fn_equal(Name("/a/B"), Name("/a/B")));
  EXPECT_FALSE(Files().fn_equal(Name("/a/B"), Name("/a/b")));
  EXPECT_TRUE(Files().fn_is_empty(Name()));

  options().drives['C'] = "/drive_c";
  EXPECT_EQ(native(Name("C:\\dir\\file")), fs::path("/drive_c/dir/file"));
  EXPECT_EQ(native(Name("c:/dir/file")), fs::path("/drive_c/dir/file"));
  EXPECT_EQ(native(Name("C:")), fs::path("/drive_c"));
  EXPECT_EQ(native(Name("D:\\x")), fs::path("/data/x"));
  EXPECT_EQ(native(Name("E:\\x")), fs::path("/prefs/drive_e/x"));
  EXPECT_EQ(native(Name("/usr/lib")), fs::path("/usr/lib"));
}

TEST(HostFiles, FoldersBrowseAndDelete) {
  const fs::path root = fresh_folder("browse");
  options().drives['C'] = root;
  Name nested("C:\\one\\two\\three");
  ASSERT_TRUE(Files().create_folder(Name("C:\\one")));
  ASSERT_TRUE(Files().create_folder(Name("C:\\one\\two")));
  ASSERT_TRUE(Files().create_folder(nested));
  std::ofstream(root / "one" / "data.bin") << "12345";

  HostBrowse* browse = Files().browse_open(Name((root / "one").string()), 0);
  ASSERT_NE(browse, nullptr);
  std::set<std::string> seen;
  while (Files().browse_next(browse)) {
    Name name;
    Files().browse_name(browse, name);
    seen.insert(name.Path());
    if (name.Path() == "data.bin") {
      EXPECT_FALSE(Files().browse_is_folder(browse));
      EXPECT_GT(Files().browse_time(browse), 1600000000);
    } else {
      EXPECT_TRUE(Files().browse_is_folder(browse));
    }
  }
  EXPECT_FALSE(Files().browse_next(browse));
  Files().browse_free(browse);
  EXPECT_EQ(seen, (std::set<std::string>{"two", "data.bin"}));
  EXPECT_EQ(Files().browse_open(Name((root / "missing").string()), 0), nullptr);

  Name one("C:/one");
  EXPECT_FALSE(Files().delete_file(one, 0)) << "a folder with content needs force";
  EXPECT_TRUE(Files().delete_file(one, ZOR_DELETE_FORCE));
  EXPECT_FALSE(fs::exists(root / "one"));
  EXPECT_FALSE(Files().delete_file(one, 0));
}

TEST(HostFiles, ByteFilesInEveryMode) {
  const fs::path root = fresh_folder("bytes");
  Name name((root / "f.bin").string());
  HostFile* file = Files().file_alloc();
  const auto open = [&](int32_t mode) {
    return Files().file_open(file, name, mode, 0, 0, 0x5A4F5243u, 0x5A4F5231u);
  };

  std::ofstream(root / "f.bin") << "abcdef";
  ASSERT_TRUE(open(ZOR_FILE_WRITE));  // truncates
  EXPECT_TRUE(Files().file_write(file, "xyz", 3));
  EXPECT_EQ(Files().file_length(file), 3);
  Files().file_close(file);
  EXPECT_EQ(fs::file_size(root / "f.bin"), 3u);

  ASSERT_TRUE(open(ZOR_FILE_APPEND));
  EXPECT_TRUE(Files().file_write(file, "12", 2));
  Files().file_close(file);

  ASSERT_TRUE(open(ZOR_FILE_READWRITE));
  EXPECT_TRUE(Files().file_seek(file, 1));
  EXPECT_TRUE(Files().file_write(file, "Y", 1));
  EXPECT_TRUE(Files().file_seek(file, 0));
  char buffer[8] = {};
  EXPECT_TRUE(Files().file_read(file, buffer, 5));
  EXPECT_STREQ(buffer, "xYz12");
  EXPECT_EQ(Files().file_position(file), 5);
  Files().file_close(file);

  ASSERT_TRUE(open(ZOR_FILE_READ));
  EXPECT_FALSE(Files().file_write(file, "no", 2));
  Files().file_free(file);  // closes what is open
  EXPECT_FALSE(Files().file_open(nullptr, name, ZOR_FILE_READ, 0, 0, 0, 0));
}

TEST(HostContainers, TypedValuesConversionsAndDeepCopies) {
  HostContainer* c = Containers().alloc(7);
  Containers().set_bool(c, 1, true);
  Containers().set_int32(c, 2, -5);
  Containers().set_int64(c, 3, int64_t{1} << 40);
  Containers().set_float(c, 4, 2.75);
  Containers().set_time(c, 5, 3, 30);
  Containers().set_filename(c, 6, Name("C:\\scenes"));
  Containers().set_string(c, 7, Text("t\xc3\xa9xt"));
  HostContainer* inner = Containers().alloc(99);
  Containers().set_int32(inner, 1, 11);
  Containers().set_container(c, 8, inner);
  Containers().set_int32(inner, 1, 12);  // stored as a copy
  Containers().free(inner);

  for (int32_t id = 1; id <= 8; ++id) EXPECT_EQ(Containers().value_type(c, id), id) << id;
  EXPECT_EQ(Containers().value_type(c, 9), ZOR_VALUE_NONE);
  EXPECT_EQ(Containers().count(c), 8);
  EXPECT_EQ(Containers().id_at(c, 7), 8);
  EXPECT_EQ(Containers().id_at(c, 8), -1);

  EXPECT_DOUBLE_EQ(Containers().get_float(c, 2, 0), -5.0);  // numbers convert
  EXPECT_EQ(Containers().get_int64(c, 3, 0), int64_t{1} << 40);
  EXPECT_TRUE(Containers().get_bool(c, 2, false));
  int64_t num = 0, den = 0;
  Containers().get_time(c, 5, &num, &den);
  EXPECT_EQ(num * 1000 + den, 3030);
  Text text;
  EXPECT_TRUE(Containers().get_string(c, 7, text));
  EXPECT_EQ(text.Utf8(), "t\xc3\xa9xt");
  EXPECT_FALSE(Containers().get_string(c, 42, text));
  EXPECT_EQ(text.Utf8(), "");
  Name path;
  EXPECT_TRUE(Containers().get_filename(c, 6, path));
  EXPECT_EQ(path.Path(), "C:\\scenes");

  EXPECT_EQ(Containers().get_int32(Containers().get_container(c, 8), 1, 0), 11);
  HostContainer* copy = Containers().copy(c);
  EXPECT_EQ(Containers().get_id(copy), 7);
  Containers().set_container(c, 9, c);  // into itself
  EXPECT_EQ(Containers().count(Containers().get_container(c, 9)), 8);
  EXPECT_TRUE(Containers().remove(c, 9));
  EXPECT_FALSE(Containers().remove(c, 9));
  Containers().free(copy);
  Containers().free(c);
}

TEST(HostContainers, StoredSettingsLiveInThePrefsFolder) {
  const fs::path prefs = fresh_folder("prefs");
  options().prefs_dir = prefs;
  EXPECT_EQ(Containers().get_plugin_settings(1001198), nullptr);

  HostContainer* settings = Containers().alloc(0);
  Containers().set_filename(settings, 1, Name("C:\\scenes"));
  Containers().set_bool(settings, 2, true);
  Containers().set_float(settings, 3, 2.0);
  Containers().set_int64(settings, 4, -(int64_t{1} << 40));
  Containers().set_time(settings, 5, 1, 25);
  Containers().set_string(settings, 6, Text("\xe6\x97\xa5"));
  HostContainer* sub = Containers().alloc(0);
  Containers().set_int32(sub, -3, 4);
  Containers().set_container(settings, 7, sub);
  Containers().free(sub);
  ASSERT_TRUE(Containers().set_plugin_settings(1001198, settings, 0));
  Containers().free(settings);
  ASSERT_TRUE(fs::exists(prefs / "settings" / "1001198.json"));

  // another prefs folder sees nothing: what comes back is read from disk
  options().prefs_dir = fresh_folder("other_prefs");
  EXPECT_EQ(Containers().get_plugin_settings(1001198), nullptr);
  options().prefs_dir = prefs;
  HostContainer* back = Containers().get_plugin_settings(1001198);
  ASSERT_NE(back, nullptr);
  Name path;
  Containers().get_filename(back, 1, path);
  EXPECT_EQ(path.Path(), "C:\\scenes");
  EXPECT_EQ(Containers().value_type(back, 2), ZOR_VALUE_BOOL);
  EXPECT_EQ(Containers().value_type(back, 3), ZOR_VALUE_FLOAT) << "2.0 must not come back as an integer";
  EXPECT_EQ(Containers().get_int64(back, 4, 0), -(int64_t{1} << 40));
  int64_t num = 0, den = 0;
  Containers().get_time(back, 5, &num, &den);
  EXPECT_EQ(den, 25);
  Text text;
  Containers().get_string(back, 6, text);
  EXPECT_EQ(text.Utf8(), "\xe6\x97\xa5");
  EXPECT_EQ(Containers().get_int32(Containers().get_container(back, 7), -3, 0), 4);
  Containers().free(back);

  HostContainer* global = Containers().copy_global_settings();
  Containers().set_int32(global, 1, 77);
  Containers().restore_global_settings(global);
  Containers().free(global);
  global = Containers().copy_global_settings();
  EXPECT_EQ(Containers().get_int32(global, 1, 0), 77);
  Containers().free(global);
}

TEST(HostMemory, BlocksAndObjectsAreCountedWithTheirOrigin) {
  const HostMemoryTable& M = *memory_table();
  const auto before = memory_statistics();
  void* block = M.alloc(24, 77, "tool/leaky.cpp");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(block)[23], 0);
  HostContainer* stats = Containers().alloc(0);
  Containers().memory_statistics(stats);
  EXPECT_EQ(Containers().get_int64(stats, ZOR_MEMSTAT_BLOCKS, 0), before.live_blocks + 1);
  EXPECT_EQ(Containers().get_int64(stats, ZOR_MEMSTAT_BYTES, 0), before.live_bytes + 24);
  Containers().free(stats);

  bool leaks = false;
  const std::string report = WrittenBy([&](std::FILE* out) { leaks = report_leaks(out); });
  EXPECT_TRUE(leaks);
  EXPECT_TRUE(Contains(report, "24 bytes allocated at tool/leaky.cpp:77"));

  M.free(block);
  M.free(block);  // double free: reported, not a crash
  M.free(nullptr);
  const auto after = memory_statistics();
  EXPECT_EQ(after.live_blocks, before.live_blocks);
  EXPECT_EQ(after.bad_frees, before.bad_frees + 1);
  EXPECT_EQ(M.alloc(-1, 1, "x"), nullptr);

  const NexalSourceLocation where{"core/object.cpp", 5};
  void* core_block = system_interface()->alloc(8, &where);
  EXPECT_TRUE(std::ranges::any_of(
      leaked_blocks(), [](const auto& leak) { return leak.file == "core/object.cpp" && leak.line == 5; }));
  system_interface()->free(core_block);
}

TEST(HostCore, ReferencesResolveAndConfigurationTakesSetValues) {
  NexalReference references[] = {
      {NEXAL_SYSTEM_ID, NexalIdHash(NEXAL_SYSTEM_ID), NEXAL_REF_STATIC_INTERFACE, NEXAL_SYSTEM_METHODS,
       nullptr},
      {"nexal.NoSuchInterface#1", NexalIdHash("nexal.NoSuchInterface#1"), NEXAL_REF_STATIC_INTERFACE, 3,
       nullptr},
      {NEXAL_SYSTEM_ID, NexalIdHash(NEXAL_SYSTEM_ID), NEXAL_REF_STATIC_INTERFACE, NEXAL_SYSTEM_METHODS + 1,
       nullptr},
  };
  NexalModuleRecord older{nullptr, "older", 0, nullptr, 0, nullptr, nullptr, nullptr};
  NexalModuleRecord record{&older, "net.nexal.zor.test", 0, references, 3, nullptr, nullptr, nullptr};
  auto unresolved = resolve_core_references(&record);
  std::sort(unresolved.begin(), unresolved.end());  // the order they are named in is open
  EXPECT_EQ(references[0].resolved, system_interface());
  EXPECT_EQ(references[1].resolved, nullptr);
  EXPECT_EQ(references[2].resolved, nullptr) << "the host has fewer methods than the module would call";
  EXPECT_EQ(unresolved, (std::vector<std::string>{"nexal.NoSuchInterface#1", NEXAL_SYSTEM_ID}));
  ASSERT_NE(record.initializer, nullptr);
  EXPECT_EQ(older.initializer, record.initializer);
  EXPECT_EQ(record.initializer->resolve(&references[1]), 0);

  options().settings = {{"g_tools", "true"}, {"g_debug", "0"}, {"g_bad", "maybe"}, {"g_tools", "1"}};
  reset_configuration();
  uint8_t tools = 0, debug = 1, bad = 1;
  NexalConfigEntry entries[] = {
      {"g_tools", "", 5, &tools, 0}, {"g_debug", "help", 1, &debug, 0}, {"g_bad", "", 1, &bad, 0}};
  system_interface()->register_config(entries, 3);
  EXPECT_EQ(tools, 1);
  EXPECT_EQ(debug, 0);
  EXPECT_EQ(bad, 1) << "a value that is no bool leaves the default";
  options().settings.clear();
  reset_configuration();
}

TEST(HostOptions, CommandLineForms) {
  HostOptions o;
  const std::string line =
      "--prefs /p --startup=/s -renderator --module a.zdl64 --module=b.zdl64 --headless --set g_x=true "
      "--set=g_y=a=b --drive d=/data --command Renderator --command=1001198 --host-version=15999 "
      "--check-leaks --allow-faults --ui u.json --transcript=t.jsonl scenes -- --not-an-option";
  std::istringstream split(line);
  auto result = parse_command_line({std::istream_iterator<std::string>(split), {}}, o);
  ASSERT_EQ(result.status, ParsedCommandLine::Status::Run) << result.error;
  EXPECT_EQ(o.prefs_dir, "/p");
  EXPECT_EQ(o.startup_dir, "/s");
  EXPECT_EQ(o.modules, (std::vector<fs::path>{"a.zdl64", "b.zdl64"}));
  EXPECT_TRUE(o.headless && o.check_leaks && o.allow_faults);
  EXPECT_EQ(o.settings, (std::vector<std::pair<std::string, std::string>>{{"g_x", "true"}, {"g_y", "a=b"}}));
  EXPECT_EQ(o.drives.at('D'), "/data");
  EXPECT_EQ(o.commands, (std::vector<std::string>{"Renderator", "1001198"}));
  EXPECT_EQ(o.host_version, 15999);
  HostOptions widest;
  EXPECT_EQ(parse_command_line({"--host-version", "99999999"}, widest).status,
            ParsedCommandLine::Status::Run);
  EXPECT_EQ(widest.host_version, 99999999);
  EXPECT_EQ(o.ui_script, "u.json");
  EXPECT_EQ(o.transcript, "t.jsonl");
  EXPECT_EQ(o.module_arguments, (std::vector<std::string>{"-renderator", "scenes", "--not-an-option"}));

  HostOptions help;
  EXPECT_EQ(parse_command_line({"x", "--help"}, help).status, ParsedCommandLine::Status::Help);
  EXPECT_EQ(parse_command_line({"-h"}, help).status, ParsedCommandLine::Status::Help);
  HostOptions forModules;  // after "--" even -h is a module's
  EXPECT_EQ(parse_command_line({"--", "-h"}, forModules).status, ParsedCommandLine::Status::Run);
  EXPECT_EQ(forModules.module_arguments, (std::vector<std::string>{"-h"}));

  const std::pair<std::vector<std::string>, const char*> errors[] = {
      {{"--bogus=1"}, "--bogus"},
      {{"--prefs"}, "--prefs"},
      {{"--prefs", "--headless"}, "--prefs"},
      {{"--headless=yes"}, "--headless"},
      {{"--set", "novalue"}, "--set"},
      {{"--drive", "CC=/x"}, "--drive"},
      {{"--host-version", "new"}, "--host-version"},
      // past 8 digits the version runs into the next column of the Renderator's report header
      {{"--host-version", "100000000"}, "from 0 to 99999999"},
      {{"--host-version", "-1"}, "from 0 to 99999999"},
  };
  for (const auto& [arguments, option] : errors) {
    HostOptions out;
    result = parse_command_line(arguments, out);
    EXPECT_EQ(result.status, ParsedCommandLine::Status::UsageError) << arguments[0];
    EXPECT_TRUE(Contains(result.error, option));
    EXPECT_EQ(result.error.find('\n'), std::string::npos);
  }

  HostOptions defaults;
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  apply_option_defaults(defaults, "/opt/zor");
  EXPECT_EQ(defaults.startup_dir, "/opt/zor");
  EXPECT_EQ(defaults.prefs_dir, "/cfg/zorhost");
  EXPECT_EQ(defaults.drives.at('C'), "/cfg/zorhost/drive_c");
  unsetenv("XDG_CONFIG_HOME");
  HostOptions home_defaults;
  setenv("HOME", "/home/u", 1);
  apply_option_defaults(home_defaults, "/opt/zor");
  EXPECT_EQ(home_defaults.prefs_dir, "/home/u/.config/zorhost");
  // <prefix>/bin/zorhost starts from <prefix>/lib/zorhost once that is there
  const fs::path prefix = fresh_folder("prefix");
  HostOptions build_tree;
  apply_option_defaults(build_tree, prefix / "bin");
  EXPECT_EQ(build_tree.startup_dir, prefix / "bin");
  fs::create_directories(prefix / "lib" / "zorhost");
  HostOptions installed;
  apply_option_defaults(installed, prefix / "bin");
  EXPECT_EQ(installed.startup_dir, prefix / "lib" / "zorhost");

  const fs::path plugins = fresh_folder("plugins");
  fs::create_directories(plugins / "sub");
  for (const char* file : {"b.zdl64", "sub/a.zdl64", "readme.txt"}) std::ofstream(plugins / file) << "x";
  EXPECT_EQ(find_modules(plugins), (std::vector<fs::path>{plugins / "b.zdl64", plugins / "sub/a.zdl64"}));
  EXPECT_TRUE(find_modules(plugins / "missing").empty());
}

// Every kind of host object a module can hold is counted while it lives, so that --check-leaks finds
// the ones a module forgets.

TEST(HostObjectCounts, StringsBitmapsDocumentsDialogsThreadsAndResourcesAreCountedUntilFreed) {
  scene_test::ScratchFolder folder;
  test_support::HostName scene(folder.write("a.zor", scene_test::scene_text()));
  test_support::HostName resources(folder.path());
  test_support::HostName missing(folder.path() / "missing.zor");
  auto before = zorhost::live_objects();
  const auto no_answer = [](HostDialog*, HostUserArea*, const HostContainer*) { return false; };

  HostString* string = Strings().alloc();
  HostBitmap* bitmap = zorhost::bitmaps_table()->alloc();
  HostDocument* document = zorhost::documents_table()->load(scene, 0);
  HostDialog* dialog = zorhost::gui_table()->dialog_alloc(no_answer, nullptr);
  HostUserArea* area = zorhost::gui_table()->user_area_alloc(no_answer, nullptr);
  HostThread* thread = zorhost::threads_table()->alloc([](void*) {}, nullptr, nullptr, nullptr);
  HostResource* resource = zorhost::plugins_table()->resource_open(resources);
  ASSERT_TRUE(string && bitmap && document && dialog && area && thread && resource);

  auto now = zorhost::live_objects();
  const std::string report = WrittenBy([](std::FILE* out) { report_leaks(out); });
  for (ObjectKind kind : {ObjectKind::String, ObjectKind::Bitmap, ObjectKind::Document, ObjectKind::Dialog,
                          ObjectKind::UserArea, ObjectKind::Thread, ObjectKind::Resource}) {
    const char* name = zorhost::object_kind_name(kind);
    EXPECT_EQ(now[kind], before[kind] + 1) << name;
    EXPECT_NE(report.find(std::string(name) + " never freed"), std::string::npos) << report;
  }

  Strings().free(string);
  zorhost::bitmaps_table()->free(bitmap);
  zorhost::documents_table()->free(document);
  zorhost::gui_table()->dialog_free(dialog);
  zorhost::gui_table()->user_area_free(area);
  zorhost::threads_table()->free(thread);
  zorhost::plugins_table()->resource_free(resource);
  // a failed open holds nothing
  EXPECT_EQ(zorhost::documents_table()->load(missing, 0), nullptr);
  std::erase_if(before, [](const auto& entry) { return entry.second == 0; });
  EXPECT_EQ(zorhost::live_objects(), before);
}

// Container values read as integers the same way in every family that reads them.
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
