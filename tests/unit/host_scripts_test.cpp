// The scripts family and the core text parser as a module reaches them: through the host table and the
// resolved core reference, with host strings, host file names, URLs and error objects.
#include <gtest/gtest.h>

#include <string>

#include "core/core_framework.h"
#include "core/text_parser_interface.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "strings/string_impl.h"
#include "unit/host_test_support.h"
#include "unit/scratch_folder.h"
#include "unit/with_host.h"

namespace {

const HostScriptTable& scripts() {
  return *test_support::RealHostTable()->scripts;
}

TEST(HostScripts, TheLibraryIsFoundOnlyByItsIdAndKindAndCompiles) {
  EXPECT_EQ(scripts().library_find(ZOR_SCRIPT_LIBRARY_ID, 16), nullptr);
  EXPECT_EQ(scripts().library_find(1000478, ZOR_SCRIPT_LIBRARY_KIND), nullptr);
  EXPECT_EQ(scripts().library_table(nullptr), nullptr);
  HostScriptLibrary* library = scripts().library_find(ZOR_SCRIPT_LIBRARY_ID, ZOR_SCRIPT_LIBRARY_KIND);
  ASSERT_NE(library, nullptr);
  const HostScriptLibraryTable* table = scripts().library_table(library);
  ASSERT_NE(table, nullptr);
  ASSERT_GE(table->size, static_cast<int32_t>(sizeof(HostScriptLibraryTable)));
  ASSERT_NE(table->compile, nullptr);

  test_support::ScratchFolder folder;
  const auto source = folder.write("my gui.tpn", "function start() { return 1; }");
  HostFilename source_name{source.string()};
  HostFilename empty{""};
  EXPECT_EQ(table->compile(&source_name, &empty), 1);
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "my gui.tpb"));
  HostFilename other{(folder.path() / "out.bin").string()};
  EXPECT_EQ(table->compile(&source_name, &other), 1);
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "out.bin"));

  // A syntax error: 0, the error on stderr, nothing written.
  const auto bad = folder.write("bad.tpn", "function start() { return 1 }");
  HostFilename bad_name{bad.string()};
  EXPECT_EQ(test_support::StderrOf([&] { EXPECT_EQ(table->compile(&bad_name, &empty), 0); }),
            bad.string() + ":1:29: error: expected ';' but found '}'\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "bad.tpb"));
  EXPECT_TRUE(test_support::Contains(
      test_support::StderrOf([&] { EXPECT_EQ(table->compile(nullptr, nullptr), 0); }), "no source"));
}

TEST(HostScripts, TheEvaluatorTakesHostStringsAndIsCounted) {
  const auto before = zorhost::live_objects()[zorhost::ObjectKind::Evaluator];
  HostEvaluator* evaluator = scripts().evaluator_alloc();
  ASSERT_NE(evaluator, nullptr);
  EXPECT_EQ(zorhost::live_objects()[zorhost::ObjectKind::Evaluator], before + 1);
  HostString text{zorhost::from_utf8("(1 << 4) | 'a'")};
  int32_t value = 0, error = -1;
  EXPECT_TRUE(scripts().evaluate_int(evaluator, &text, 0, 10, &value, &error));
  EXPECT_EQ(value, (1 << 4) | 'a');
  EXPECT_EQ(error, ZOR_EVAL_OK);
  HostString wide{zorhost::from_utf8("0x100000002")};
  EXPECT_FALSE(scripts().evaluate_int(evaluator, &wide, 0, 10, &value, &error));
  EXPECT_EQ(error, ZOR_EVAL_WRAPPED);
  EXPECT_EQ(value, 2);
  HostString real{zorhost::from_utf8("2.5 * 2")};
  double d = 0;
  EXPECT_TRUE(scripts().evaluate_float(evaluator, &real, 0, 0, 10, &d, &error));
  EXPECT_DOUBLE_EQ(d, 5.0);
  EXPECT_FALSE(scripts().evaluate_int(evaluator, nullptr, 0, 10, &value, &error));
  EXPECT_EQ(error, ZOR_EVAL_SYNTAX);
  EXPECT_FALSE(scripts().evaluate_float(nullptr, &real, 0, 0, 10, &d, nullptr));
  scripts().evaluator_free(evaluator);
  scripts().evaluator_free(nullptr);
  EXPECT_EQ(zorhost::live_objects()[zorhost::ObjectKind::Evaluator], before);
}

TEST(HostScripts, FileUrlsAreDecoded) {
  EXPECT_EQ(zorhost::path_of_file_url("file:///a%20b/c%25.h"), "/a b/c%.h");
  EXPECT_EQ(zorhost::path_of_file_url("file://C%3A%5Cx.h"), "C:\\x.h");
  EXPECT_FALSE(zorhost::path_of_file_url("http://x/a.h"));
  EXPECT_FALSE(zorhost::path_of_file_url("file:///a%2"));
  EXPECT_FALSE(zorhost::path_of_file_url("file:///a%zz"));
}

TEST(HostScripts, TheTextParserIsResolvedAndReadsThroughUrls) {
  NexalReference reference{NEXAL_TEXT_PARSER_ID, 0, NEXAL_REF_STATIC_INTERFACE, NEXAL_TEXT_PARSER_METHODS,
                           nullptr};
  ASSERT_TRUE(zorhost::resolve_core_reference(&reference));
  const auto* parser_interface = static_cast<const NexalTextParserInterface*>(reference.resolved);
  ASSERT_NE(parser_interface, nullptr);

  test_support::ScratchFolder folder;
  folder.write("with blank.h", "#define A 5\n");
  NexalSourceLocation where{__FILE__, __LINE__};
  NexalTextParser* parser = parser_interface->create(&where);
  ASSERT_NE(parser, nullptr);
  NexalToken token{};
  NexalError* error = parser_interface->next(parser, &token);  // nothing open yet
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->error_class, NEXAL_ERROR_ILLEGAL_STATE);
  error->release(error);

  const std::string missing = "file://" + folder.path().string() + "/none.h";
  error = parser_interface->open(parser, missing.c_str());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->error_class, NEXAL_ERROR_IO);
  EXPECT_NE(std::string(error->message).find("none.h"), std::string::npos);
  error->release(error);

  const std::string url = "file://" + folder.path().string() + "/with%20blank.h";
  ASSERT_EQ(parser_interface->open(parser, url.c_str()), nullptr);
  ASSERT_EQ(parser_interface->next(parser, &token), nullptr);
  EXPECT_EQ(token.kind, NEXAL_TOKEN_HASH);
  EXPECT_EQ(token.separated, 1);
  ASSERT_EQ(parser_interface->next(parser, &token), nullptr);
  EXPECT_EQ(std::string(token.text, token.length), "define");
  EXPECT_EQ(token.separated, 0);
  EXPECT_EQ(token.column, 2);
  EXPECT_EQ(parser_interface->compare(parser, "define"), 1);
  EXPECT_EQ(parser_interface->compare(parser, "defin"), 0);
  ASSERT_EQ(parser_interface->skip_line(parser), nullptr);
  ASSERT_EQ(parser_interface->next(parser, &token), nullptr);
  EXPECT_EQ(token.kind, NEXAL_TOKEN_LINE_END);
  EXPECT_EQ(token.length, 0);
  ASSERT_EQ(parser_interface->next(parser, &token), nullptr);
  EXPECT_EQ(token.kind, NEXAL_TOKEN_END);
  parser_interface->destroy(parser);
  parser_interface->destroy(nullptr);
  EXPECT_EQ(zorhost::live_objects()[zorhost::ObjectKind::TextParser], 0);
  EXPECT_EQ(zorhost::live_objects()[zorhost::ObjectKind::CoreError], 0);
}

}  // namespace
