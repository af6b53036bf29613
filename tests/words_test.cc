// What arkiva says, word for word: the pure functions behind the progress
// window and its notice, xz's percent and its own lines, the PowerShell
// commands that register the Windows 11 package, and the translations'
// placeholders, plural forms and choice of catalogue. One row a case.

#include <gtest/gtest.h>

#include "app/archive/xz.h"
#include "catalogues/translation.h"
#include "host/ui/progress.h"
#include "app/setup/menu_package.h"
#ifndef _WIN32
#include "progress_window/protocol.h"
#endif

TEST(XzWords, ThePercentOfItsLastProgressLine) {
  struct {
    const char* said;
    double fraction;
  } rows[] = {
      {"  42.1 %  10.5 MiB / 13.7 MiB = 0.764   4.2 MiB/s       0:02   0:03\n", 0.421},
      {"  42,1 %  10,5 MiB / 13,7 MiB = 0,764\n", 0.421},  // the user's locale
      {"   5.0 %\r  17.5 %\r", 0.175},                     // the last line counts
      {"  17.5 %\nxz: big.bin: Cannot allocate memory\n", 0.175},
      {"100 %\n", 1.0},
      {"  142 %\n  12 %\n", 0.12},  // no percent above 100, so the one before
      {"xz: big.bin: File exists\n", -1},
      {"  abc %\n", -1},
      {"", -1},
  };
  for (const auto& row : rows)
    EXPECT_DOUBLE_EQ(row.fraction, XzProgressFraction(row.said)) << row.said;
}

TEST(XzWords, OnlyItsOwnLinesReachTheReport) {
  EXPECT_EQ("xz: notes.xz: File already has '.xz' suffix, skipping",
            XzMessages("  12.0 %\r\nxz: notes.xz: File already has '.xz' suffix, skipping\n"));
  EXPECT_EQ("xz: a: Cannot allocate memory\nxz: b: No space left on device",
            XzMessages("xz: a: Cannot allocate memory\n 50 %\nxz: b: No space left on device"));
  EXPECT_EQ("", XzMessages("  100 %  1 MiB / 2 MiB\n"));
  EXPECT_EQ("", XzMessages("xzz: not xz's\n"));
}

TEST(ProgressWords, TimeLeft) {
  struct {
    double seconds, fraction;
    const char* text;
  } rows[] = {
      {1, 0.5, ""},     // too soon to tell
      {10, 0.005, ""},  // too little done
      {10, 1, ""},      // done
      {10, 0.5, "about 15 seconds left"},
      {4, 0.8, "about 5 seconds left"},
      {60, 0.5, "about 1 minute left"},
      {60, 0.25, "about 3 minutes left"},
      {3600, 0.25, "about 3 hours left"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.text, FormatTimeLeft(row.seconds, row.fraction))
        << row.seconds << " s, " << row.fraction;
}

#ifndef _WIN32
TEST(ProgressWords, WindowAndNoticeLines) {
  ProgressReport report = {"xz",   "Compressing \"Photos.tar.xz\"", 2, 3, 0.5, 0.25, 3 << 19,
                           3 << 20};
  EXPECT_EQ(
      "step Compressing \"Photos.tar.xz\"\nitem Item 2 of 3\nbar 0.500\noverall 0.250\n"
      "figures 1.5 MB of 3.0 MB, about 35 seconds left\n",
      WindowLines(kOwnWindow, report, 10));
  EXPECT_EQ(
      "# Compressing \"Photos.tar.xz\" (item 2 of 3)\\n1.5 MB of 3.0 MB, about 35 seconds "
      "left\n25\n",
      WindowLines(kZenityWindow, report, 10));
  // A lone item; a name with a line break and a backslash; a walk's figures.
  report = {"tar", "Reading \"a\nb\\c\"", 1, 1, 1.5, -1, 2048, 0};
  EXPECT_EQ("step Reading \"a b\\c\"\nitem \nbar 1.000\noverall 0.000\nfigures 2.0 KB\n",
            WindowLines(kOwnWindow, report, 1));
  EXPECT_EQ("# Reading \"a b\\\\c\"\\n2.0 KB\n0\n", WindowLines(kZenityWindow, report, 1));

  EXPECT_EQ("notice Created \"a.tar.xz\"\n", NoticeLines("Created \"a.tar.xz\"", ""));
  EXPECT_EQ("notice Created 2 archives\ndetail \"a.tar.xz\"\ndetail \"b.xz\"\n",
            NoticeLines("Created 2 archives", "\"a.tar.xz\"\n\"b.xz\""));
}
#endif

TEST(PackageWords, PowerShellCommands) {
  struct {
    const char* text;
    const char* quoted;
  } rows[] = {
      {"C:\\Program Files\\arkiva", "'C:\\Program Files\\arkiva'"},
      {"O'Brien's tools", "'O''Brien''s tools'"},
      {"O\xE2\x80\x99s \xE2\x80\x98x\xE2\x80\x9B",
       "'O\xE2\x80\x99\xE2\x80\x99s \xE2\x80\x98\xE2\x80\x98x\xE2\x80\x9B\xE2\x80\x9B'"},
      {"$env:TEMP `x` \"y\"", "'$env:TEMP `x` \"y\"'"},  // nothing else is special
      {"", "''"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.quoted, PowerShellQuoted(row.text)) << row.text;
  EXPECT_EQ("Get-AppxPackage -Name 'arkiva.shell' | Remove-AppxPackage", RemovePackageCommand());
  EXPECT_EQ(
      "Get-AppxPackage -Name 'arkiva.shell' | Remove-AppxPackage; Add-AppxPackage -Path "
      "'C:\\a''b\\arkiva-shell.msix' -ExternalLocation 'C:\\a''b'",
      AddPackageCommand("C:\\a'b"));
  EXPECT_EQ(
      "if (Get-AppxPackage -Name 'arkiva.shell' | Where-Object { $_.Version -eq '1.2.3.0' -and "
      "$_.InstallLocation -eq 'C:\\a''b' -and $_.Status -eq 'Ok' }) { exit 17 }",
      SameRegistrationCommand("C:\\a'b", "1.2.3.0"));
  EXPECT_EQ("Get-AppxPackage -AllUsers -Name 'arkiva.shell' | Remove-AppxPackage -AllUsers",
            RemovePackageForAllUsersCommand());
}

// arkiva-shell.dll is x64: only an x64 Explorer loads it.
TEST(PackageWords, TheCommandRunsOnX64Only) {
  EXPECT_TRUE(HandlerRunsOnMachine(0x8664));   // IMAGE_FILE_MACHINE_AMD64
  EXPECT_TRUE(HandlerRunsOnMachine(0));        // no IsWow64Process2: Windows 10 before 1709
  EXPECT_FALSE(HandlerRunsOnMachine(0xAA64));  // ARM64
  EXPECT_FALSE(HandlerRunsOnMachine(0x014c));  // x86
}

TEST(PackageWords, PowerShellsReasonWithoutItsPositionLines) {
  struct {
    const char* errors;
    const char* reason;
  } rows[] = {
      {"Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109, A certificate chain "
       "processed, but terminated in a root\r\ncertificate which is not trusted by the trust "
       "provider.\r\n(Exception from HRESULT: 0x800B0109)\r\nAt line:1 char:1\r\n+ "
       "Add-AppxPackage -Path 'x'\r\n+ ~~~~~~~~~~~~~~~\r\n    + CategoryInfo          : "
       "NotSpecified\r\n",
       "Add-AppxPackage : Deployment failed with HRESULT: 0x800B0109, A certificate chain "
       "processed, but terminated in a root certificate which is not trusted by the trust "
       "provider. (Exception from HRESULT: 0x800B0109)"},
      // The position line in the user's language.
      {"Add-AppxPackage : Fehler bei der Bereitstellung.\r\nIn Zeile:1 Zeichen:1\r\n+ Add-Appx\r\n",
       "Add-AppxPackage : Fehler bei der Bereitstellung."},
      {"PowerShell failed\r\n    + CategoryInfo : x\r\n", "PowerShell failed"},
      {"", ""},
      {"\r\nonly this\r\n\r\n", "only this"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.reason, PowerShellReason(row.errors)) << row.errors;
}

TEST(TranslationWords, ValuesGoWhereTheTextSays) {
  struct {
    const char* pattern;
    std::vector<std::string> values;
    const char* filled;
  } rows[] = {
      {"\"%s\" already exists beside it.", {"a.tar.xz"}, "\"a.tar.xz\" already exists beside it."},
      {"%2$s 個中 %1$s 個目", {"2", "5"}, "5 個中 2 個目"},
      {"\"%1$s\" ... %2$s, as \"%1$s\" is gone.", {"a", "b"}, "\"a\" ... b, as \"a\" is gone."},
      {"100%% of %s", {"it"}, "100% of it"},
      {"%s and %s", {"a"}, "a and "},  // a value short: nothing there
      {"%s", {"%s %1$s"}, "%s %1$s"},  // a value is never read as a pattern
      {"50% %d %", {}, "50% %d %"},    // not a placeholder: as it is
      {"%3$s", {"a"}, ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.filled, FillIn(row.pattern, row.values)) << row.pattern;
}

TEST(TranslationWords, PluralFormsAsTheCataloguesHeadersSay) {
  struct {
    PluralRule rule;
    std::vector<uint64_t> n;
    std::vector<int> form;
  } rows[] = {
      {PluralRule::kOneForm, {0, 1, 2, 101}, {0, 0, 0, 0}},  // ja, ko, zh
      {PluralRule::kNotOne, {0, 1, 2, 21}, {1, 0, 1, 1}},    // de, es, tr...
      {PluralRule::kAboveOne, {0, 1, 2, 21}, {0, 0, 1, 1}},  // fr, pt_BR
      {PluralRule::kEastSlavic, {1, 2, 5, 11, 12, 21, 22, 25, 111}, {0, 1, 2, 2, 2, 0, 1, 2, 2}},
      {PluralRule::kPolish, {1, 2, 5, 12, 21, 22, 25, 112}, {0, 1, 2, 2, 2, 1, 2, 2}},
  };
  for (const auto& row : rows)
    for (size_t i = 0; i < row.n.size(); ++i)
      EXPECT_EQ(row.form[i], PluralForm(row.rule, row.n[i])) << row.n[i];
}

TEST(TranslationWords, TheCatalogueForADisplayLanguage) {
  const std::vector<std::string> catalogues = {"de", "ja", "pt_BR", "zh_CN"};
  struct {
    const char* language;
    int catalogue;
  } rows[] = {
      {"de-DE", 0}, {"de-AT", 0},  {"de", 0},          {"ja-JP", 1},  {"pt-BR", 2},
      {"pt_BR", 2}, {"pt-PT", -1}, {"pt", -1},         {"zh-CN", 3},  {"zh-Hans-CN", 3},
      {"zh-SG", 3}, {"zh-TW", -1}, {"zh-Hant-HK", -1}, {"en-US", -1}, {"", -1},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.catalogue, CatalogueFor(row.language, catalogues)) << row.language;
}
