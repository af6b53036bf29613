#include "host/process/program_args.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

using Tokens = std::vector<std::string>;

TEST(SplitCommandLine, SeparatesOnBlanksOnly) {
  EXPECT_EQ(Tokens({"p", "a", "b"}), SplitCommandLine("p a   b"));
  EXPECT_EQ(Tokens({"p", "a"}), SplitCommandLine("   p a   "));
  EXPECT_EQ(Tokens({"p", "a\tb"}), SplitCommandLine("p a\tb"));
}

TEST(SplitCommandLine, QuotesGroupOnlyAtTheStartOfAToken) {
  EXPECT_EQ(Tokens({"C:\\Program Files\\arkiva.exe", "C:\\Data\\My Photos"}),
            SplitCommandLine("\"C:\\Program Files\\arkiva.exe\" \"C:\\Data\\My Photos\""));
  EXPECT_EQ(Tokens({"p", "ab\"cd", "ef\""}), SplitCommandLine("p ab\"cd ef\""));
  EXPECT_EQ(Tokens({"p", "abc", "def"}), SplitCommandLine("p \"abc\"def"));
}

TEST(SplitCommandLine, BackslashIsNeverAnEscape) {
  EXPECT_EQ(Tokens({"p", "C:\\", "x"}), SplitCommandLine("p \"C:\\\" x"));
  EXPECT_EQ(Tokens({"p", "a\\", "b"}), SplitCommandLine("p \"a\\\"b"));
}

TEST(SplitCommandLine, EmptyAndUnclosedQuotes) {
  EXPECT_EQ(Tokens({"p", "", "x"}), SplitCommandLine("p \"\" x"));
  EXPECT_EQ(Tokens({"p", ""}), SplitCommandLine("p \""));
  EXPECT_EQ(Tokens({"p", "rest of  it "}), SplitCommandLine("p \"rest of  it "));
}

TEST(SplitCommandLine, NeutralInputs) {
  EXPECT_EQ(Tokens(), SplitCommandLine(nullptr));
  EXPECT_EQ(Tokens(), SplitCommandLine(""));
  EXPECT_EQ(Tokens(), SplitCommandLine(std::string(10000, ' ').c_str()));
  std::string long_arg(10000, 'x');
  EXPECT_EQ(Tokens({"p", long_arg}), SplitCommandLine(("p " + long_arg).c_str()));
}

// ProgramArgument on the platform's real command line: args_probe prints the
// result of six calls.
class ProgramArgumentTest : public ::testing::Test {
 protected:
#ifdef _WIN32
  std::string Probe(const std::string& arguments) {
    std::string out;
    RunCommandLine("\"" + BuildPath("tests/args_probe.exe") + "\"" + arguments, "", &out);
    return JoinLines(out);
  }
#else
  std::string Probe(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {BuildPath("tests/args_probe")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string out;
    RunArgv(argv, "", &out);
    return JoinLines(out);
  }
#endif
  static std::string JoinLines(const std::string& out) {
    std::string joined;
    for (const std::string& line : Lines(out))
      joined += line;
    return joined;
  }
};

#ifdef _WIN32
TEST_F(ProgramArgumentTest, HandsOutTheArgumentsOfGetCommandLineA) {
  EXPECT_EQ("[C:\\Data\\My Photos][][][][][]", Probe(" \"C:\\Data\\My Photos\""));
  EXPECT_EQ("[C:\\][][][][][]", Probe(" \"C:\\\""));
  EXPECT_EQ("[a][b][][][][]", Probe(" a   b   "));
  EXPECT_EQ("[][x][][][][]", Probe(" \"\" x"));
  EXPECT_EQ("[][][][][][]", Probe(""));
}
#else
TEST_F(ProgramArgumentTest, HandsOutArgvInOrder) {
  EXPECT_EQ("[/data/My Photos][][][][][]", Probe({"/data/My Photos"}));
  EXPECT_EQ("[a][][b][][][]", Probe({"a", "", "b"}));
  EXPECT_EQ("[][][][][][]", Probe({}));
}
#endif
