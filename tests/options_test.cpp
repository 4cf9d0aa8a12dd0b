// The option scan: seven tests a pass, atoll/atof/atoi conversion, help values.
#include "run/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

CommandLine scan(std::vector<const char*> args) {
  return scan_options(static_cast<int>(args.size()), args.data());
}

std::string help_of(const CommandLine& command_line) {
  return capture([&](std::FILE* out) { print_help(out, command_line); });
}

TEST(OptionsTest, DefaultsAndHelpText) {
  CommandLine c = scan({"chew_eval"});
  EXPECT_EQ(c.path, nullptr);
  EXPECT_FALSE(c.help);
  EXPECT_EQ(c.settings.emg_threshold, static_cast<long double>(0.03));
  EXPECT_EQ(c.settings.dist_threshold, 3.0L);
  EXPECT_EQ(help_of(c),
            "chew_eval: [-h] datafile.txt \n"
            "-rms_time ms      : root mean square interval (default = \"50\" ms)\n"
            "-mvc_time ms      : mvc interval (default = \"500\" ms)\n"
            "-nl_time ms       : noise level interval (default = \"100\" ms)\n"
            "-emg_threshold %  : emg threshold (default = \"3\" %)\n"
            "-dist_threshold % : dist threshold (default = \"3\" mm)\n"
            "-track t          : track (default = \"13\")\n"
            "-h                : print this help text\n");
}

TEST(OptionsTest, NoArgumentsAtAllGiveAnEmptyProgramName) {
  CommandLine c = scan_options(0, nullptr);
  EXPECT_EQ(c.program, "");
  EXPECT_EQ(c.path, nullptr);
  EXPECT_EQ(help_of(c).substr(0, 24), ": [-h] datafile.txt \n-rm");
}

TEST(OptionsTest, LaterTestsOfAPassSeeTheArgumentsAfterAMatch) {
  // -mvc_time matches in the first pass (its test comes after -rms_time's), -rms_time in the
  // second, and data.txt is left as the path.
  CommandLine c = scan({"p", "-mvc_time", "300", "-rms_time", "40", "data.txt"});
  EXPECT_EQ(c.settings.mvc_time, 300);
  EXPECT_EQ(c.settings.rms_time, 40);
  ASSERT_NE(c.path, nullptr);
  EXPECT_STREQ(c.path, "data.txt");

  c = scan({"p", "-rms_time", "1", "-mvc_time", "2", "-nl_time", "3", "-emg_threshold", "4",
            "-dist_threshold", "5", "-track", "6", "-h", "x.txt"});
  EXPECT_EQ(c.settings.rms_time, 1);
  EXPECT_EQ(c.settings.mvc_time, 2);
  EXPECT_EQ(c.settings.nl_time, 3);
  EXPECT_EQ(c.settings.emg_threshold, 4.0L / 100);
  EXPECT_EQ(c.settings.dist_threshold, 5.0L);
  EXPECT_EQ(c.settings.track, 6);
  EXPECT_TRUE(c.help);
  EXPECT_STREQ(c.path, "x.txt");
}

TEST(OptionsTest, RepeatedOptionOverridesAndTrailingArgumentsAreIgnored) {
  CommandLine c =
      scan({"p", "-rms_time", "40", "-rms_time", "60", "data.txt", "-h", "-nl_time", "7"});
  EXPECT_EQ(c.settings.rms_time, 60);
  EXPECT_FALSE(c.help);
  EXPECT_EQ(c.settings.nl_time, 100);
  EXPECT_STREQ(c.path, "data.txt");
}

TEST(OptionsTest, ValueOptionAsLastArgumentIsThePath) {
  CommandLine c = scan({"p", "-rms_time"});
  EXPECT_STREQ(c.path, "-rms_time");
  c = scan({"p", "-h", "-rms_time"});
  EXPECT_TRUE(c.help);
  EXPECT_STREQ(c.path, "-rms_time");
}

TEST(OptionsTest, OptionNamesMatchWholeAndCaseSensitive) {
  for (const char* other : {"-H", "-rms", "-rms_time=5", "--h", "-track4"}) {
    CommandLine c = scan({"p", other, "data.txt"});
    EXPECT_STREQ(c.path, other);
    EXPECT_FALSE(c.help);
  }
}

TEST(OptionsTest, ValuesConvertAsTheCLibraryDoes) {
  CommandLine c = scan({"p", "-rms_time", "  +80ms", "-mvc_time", "abc", "-nl_time", "-5", "-track",
                        "4.9", "-dist_threshold", "2.5mm", "f"});
  EXPECT_EQ(c.settings.rms_time, 80);
  EXPECT_EQ(c.settings.mvc_time, 0);
  EXPECT_EQ(c.settings.nl_time, -5);
  EXPECT_EQ(c.settings.track, 4);
  EXPECT_EQ(c.settings.dist_threshold, 2.5L);
  EXPECT_STREQ(negative_window(c.settings), "-nl_time");

  // 3 per cent is 3 / 100 in extended precision, not the widened double 0.03 of the default.
  c = scan({"p", "-emg_threshold", "3", "f"});
  EXPECT_EQ(c.settings.emg_threshold, 3.0L / 100);
  EXPECT_NE(c.settings.emg_threshold, static_cast<long double>(0.03));
  c = scan({"p", "-emg_threshold", "0.1", "f"});
  EXPECT_EQ(c.settings.emg_threshold, static_cast<long double>(0.1) / 100);
}

TEST(OptionsTest, HelpShowsTheValuesInForce) {
  CommandLine c = scan({"prog", "-rms_time", "80", "-h", "-emg_threshold", "5", "-track", "-2"});
  std::string help = help_of(c);
  EXPECT_NE(help.find("(default = \"80\" ms)"), std::string::npos);
  EXPECT_NE(help.find("emg threshold (default = \"5\" %)"), std::string::npos);
  EXPECT_NE(help.find("track (default = \"-2\")"), std::string::npos);
  EXPECT_EQ(c.path, nullptr);
}

}  // namespace
