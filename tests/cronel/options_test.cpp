// Option scanning: grouping, attached and separate arguments, the end of the options,
// the words that errors name, and the settings that result.
#include "options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Scans words as a command line whose program name is "cronel".
cronel::CommandLine scan(std::vector<const char*> words) {
  words.insert(words.begin(), "cronel");
  return cronel::scan_command_line(static_cast<int>(words.size()), words.data());
}

using Words = std::vector<std::string>;

TEST(Options, GroupedLettersAndBothArgumentForms) {
  const auto attached = scan({"-qn", "-oapp", "-pweb"});
  ASSERT_TRUE(attached.settings);
  EXPECT_TRUE(attached.settings->quiet);
  EXPECT_FALSE(attached.settings->extension_format);
  EXPECT_EQ(attached.settings->output_name, "app");
  EXPECT_EQ(attached.settings->line_prefix, "web");

  // A group may end with a letter that takes the next word as its argument.
  const auto separate = scan({"-qo", "app", "-p", "-web"});
  ASSERT_TRUE(separate.settings);
  EXPECT_TRUE(separate.settings->quiet);
  EXPECT_EQ(separate.settings->output_name, "app");
  EXPECT_EQ(separate.settings->line_prefix, "-web");
  EXPECT_TRUE(separate.invalid_words.empty());
}

TEST(Options, ExtensionFormatDefaultsAndPrecedence) {
  EXPECT_EQ(scan({"-o", "app"}).settings->extension_format,
            std::string(cronel::kDefaultExtensionFormat));
  EXPECT_FALSE(scan({"-n", "-o", "app"}).settings->extension_format);
  EXPECT_EQ(scan({"-n", "-f", ".%Y", "-o", "app"}).settings->extension_format, ".%Y");
  EXPECT_EQ(scan({"-f", ".%Y", "-f", ".%m", "-o", "a"}).settings->extension_format, ".%m");
}

TEST(Options, ScanningStopsAtTheFirstPlainWordAndAfterDoubleDash) {
  EXPECT_FALSE(scan({"-o", "app", "extra", "-q"}).settings->quiet);
  EXPECT_FALSE(scan({"-o", "app", "--", "-q"}).settings->quiet);
  EXPECT_FALSE(scan({"-o", "app", "--quiet", "-q"}).settings->quiet);
  EXPECT_FALSE(scan({"--", "-o", "app"}).settings);
}

TEST(Options, DebugValueIsReadAsDecimal) {
  const auto result = scan({"-d", "42", "-o", "app"});
  EXPECT_EQ(result.settings->debug_value, 42);
  EXPECT_TRUE(result.invalid_words.empty());
  EXPECT_EQ(scan({"-dzz", "-o", "app"}).settings->debug_value, 0);
}

TEST(Options, UnknownLetterEndingAWordIsNamedAndScanningGoesOn) {
  const auto result = scan({"-x", "-o", "app"});
  EXPECT_EQ(result.invalid_words, Words{"-x"});
  ASSERT_TRUE(result.settings);
  EXPECT_EQ(result.settings->output_name, "app");
}

TEST(Options, UnknownLetterInsideAGroupNamesTheWordBefore) {
  const auto result = scan({"-o", "app", "-xq", "-:n"});
  EXPECT_EQ(result.invalid_words, (Words{"app", "-xq"}));
  EXPECT_TRUE(result.settings->quiet);
  EXPECT_FALSE(result.settings->extension_format);
}

TEST(Options, MissingArgumentAndLoneDash) {
  const auto missing = scan({"-q", "-o"});
  EXPECT_EQ(missing.invalid_words, Words{"-o"});
  EXPECT_FALSE(missing.settings);

  const auto dash = scan({"-", "-oapp"});
  EXPECT_EQ(dash.invalid_words, Words{"-"});
  EXPECT_TRUE(dash.settings);
}

TEST(Options, UsageTextNamesTheProgramAndTheDefault) {
  const std::string text = cronel::usage_text("./cronel");
  EXPECT_EQ(text.rfind("./cronel - send a program's standard output", 0), 0u);
  EXPECT_NE(text.find("\nUSAGE: ./cronel -ooutputfile "), std::string::npos);
  EXPECT_NE(text.find("default is .%Y.%m.%d.%H.%M.utc\n"), std::string::npos);
  EXPECT_NE(text.find("\nexit status: 0 every line logged, 1 usage, 2 lines lost"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);
}

}  // namespace
