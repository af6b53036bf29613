// The POSIX launcher splits argument lines by arkiva's own rules; for every
// line arkiva builds from a name that Windows allows, the Windows C runtime
// must split it the same way, into exactly the item and its archive.
#include <gtest/gtest.h>

#include "app/archive/archive.h"
#include "host/process/program_args.h"
#include "tests/test_util.h"

namespace {

// Names Windows allows, drawn from blanks, dots, a leading '-' or '@',
// punctuation and letters outside ASCII, with trailing blanks and dots.
std::vector<std::string> GeneratedNames(int count) {
  const std::vector<std::string> pieces = {"a",
                                           "Z",
                                           "0",
                                           " ",
                                           "  ",
                                           ".",
                                           "..",
                                           "-",
                                           "--",
                                           "@",
                                           "#",
                                           "&",
                                           "(",
                                           ")",
                                           "%",
                                           "!",
                                           "^",
                                           "=",
                                           "+",
                                           ",",
                                           ";",
                                           "[",
                                           "]",
                                           "{",
                                           "}",
                                           "~",
                                           "`",
                                           "'",
                                           "$",
                                           "\xc3\xa9",
                                           "\xd0\xb6",
                                           "\xe6\x97\xa5",
                                           "\xf0\x9f\x93\xa6",
                                           "tar",
                                           ".tar",
                                           "x z"};
  std::vector<std::string> names = {"-",  "@",   "-v",   "--files=list.txt",   "@list", "a ",  "a.",
                                    " a", "..x", "-d. ", "\xc3\xa9t\xc3\xa9 ", "%1",    "a  b"};
  uint32_t x = 2024;
  while (static_cast<int>(names.size()) < count) {
    std::string name;
    int length = 1 + (x = x * 1103515245u + 12345u) % 7;
    for (int i = 0; i < length; ++i)
      name += pieces[((x = x * 1103515245u + 12345u) >> 8 & 0xffff) % pieces.size()];
    names.push_back(name);
  }
  return names;
}

std::string Hex(const std::string& text) {
  std::string out;
  char byte[3];
  for (unsigned char c : text) {
    snprintf(byte, sizeof(byte), "%02x", c);
    out += byte;
  }
  return out;
}

}  // namespace

TEST(DifferentialWithTheWindowsCRuntime, ArgumentLinesSplitAlike) {
  int differences = 0;
  for (const std::string& name : GeneratedNames(150)) {
    ArchiveLines folder = BuildArchiveLines(name, true, false);
    ArchiveLines file = BuildArchiveLines(name, false, false);
    for (const std::string& line :
         {ArgumentLine(folder.tar), ArgumentLine(folder.xz), ArgumentLine(file.xz)}) {
      std::string out;
      RunCommandLine("\"" + BuildPath("tests/argv_probe.exe") + "\" " + line, "", &out);
      std::vector<std::string> ours = SplitCommandLine(("p " + line).c_str());
      ours.erase(ours.begin());
      std::vector<std::string> hex;
      for (const std::string& arg : ours)
        hex.push_back(Hex(arg));
      if (Lines(out) != hex) {
        ++differences;
        ADD_FAILURE() << "name [" << name << "] line [" << line << "]\n  CRT: " << out;
      }
      std::string operand = OperandName(name, false);
      EXPECT_EQ(Hex(operand), Hex(ours.back().substr(0, operand.size()))) << name;
      EXPECT_TRUE(operand.empty() || (operand[0] != '-' && operand[0] != '@')) << name;
    }
  }
  EXPECT_EQ(0, differences);

  // The probe is live: where the rules do differ (a backslash before a
  // quote, which no name can hold), it shows.
  std::string out;
  RunCommandLine("\"" + BuildPath("tests/argv_probe.exe") + "\" \"a\\\" b\"", "", &out);
  EXPECT_EQ(std::vector<std::string>({Hex("a\" b")}), Lines(out));
  EXPECT_EQ(std::vector<std::string>({"p", "a\\", "b\""}), SplitCommandLine("p \"a\\\" b\""));
}
