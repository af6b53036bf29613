#include "registry/registry.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#include <sys/stat.h>
#include "registry/store.h"
#endif

TEST(ParseRegistryKeyPath, RootsAndSubkeys) {
  struct Case {
    const char* path;
    bool ok;
    uint32_t root;
    const char* subkey;
  } cases[] = {
      {"hkey_classes_root\\Directory\\shell", true, 0x80000000, "Directory\\shell"},
      {"HKEY_CLASSES_ROOT\\Directory\\shell", true, 0x80000000, "Directory\\shell"},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\*\\shell\\Create tar.xz", true, 0x80000002,
       "SOFTWARE\\Classes\\*\\shell\\Create tar.xz"},
      {"HKEY_CURRENT_CONFIG\\System", true, 0x80000005, "System"},
      {"HKEY_USERS\\", true, 0x80000003, ""},
      {"HKEY_USERS", true, 0x80000003, ""},
      {"HKEY_CURRENT_USER\\\\Software", true, 0x80000001, "\\Software"},
      {"hkey_current_user\\Software\\MyKey", true, 0x80000001, "Software\\MyKey"},
      {"HKEY_PERFORMANCE_DATA\\x", false, 0, "x"},
      {" HKEY_USERS\\x", false, 0, "x"},
      {"HKCU\\Software", false, 0, "Software"},
      {"", false, 0, ""},
  };
  for (const Case& c : cases) {
    ParseRegistryKeyPath("HKEY_USERS\\previous");
    EXPECT_EQ(c.ok, ParseRegistryKeyPath(c.path)) << c.path;
    EXPECT_EQ(c.root, RegistryRoot) << c.path;
    EXPECT_EQ(c.subkey, RegistrySubKey) << c.path;
  }
}

TEST(ReadRegistryNumber, EveryForm) {
  EXPECT_EQ(42, ReadRegistryNumber("42"));
  EXPECT_EQ(7, ReadRegistryNumber(" \t+7"));
  EXPECT_EQ(12, ReadRegistryNumber("12abc"));
  EXPECT_EQ(0, ReadRegistryNumber("abc"));
  EXPECT_EQ(255, ReadRegistryNumber("$ff"));
  EXPECT_EQ(5, ReadRegistryNumber("%101"));
  EXPECT_EQ(-1, ReadRegistryNumber("-1"));
  EXPECT_EQ(-255, ReadRegistryNumber("-$FF"));
  EXPECT_EQ(0, ReadRegistryNumber(nullptr));
  EXPECT_EQ(0, ReadRegistryNumber("- 1"));
  EXPECT_EQ(INT64_MIN, ReadRegistryNumber("9223372036854775808"));  // wraps
  EXPECT_EQ(0, ReadRegistryNumber("18446744073709551616"));
}

TEST(EncodeRegistryValue, BytesOfEachType) {
  auto encode = [](const char* text, uint32_t type) {
    std::string bytes;
    return EncodeRegistryValue(text, type, &bytes) ? bytes : std::string("<refused>");
  };
  EXPECT_EQ(std::string("Create tar.xz\0", 14), encode("Create tar.xz", 1));
  EXPECT_EQ(std::string("\0", 1), encode("", 2));
  EXPECT_EQ(std::string("*\0\0\0", 4), encode("42", 4));
  EXPECT_EQ("\xff\xff\xff\xff", encode("-1", 4));
  EXPECT_EQ(std::string("\0\0\0\0", 4), encode("4294967296", 4));
  EXPECT_EQ(std::string("\1\0\0\0", 4), encode("4294967297", 4));
  EXPECT_EQ("\x0a\xff\x10", encode("0AFF10", 3));
  EXPECT_EQ("\xab", encode("abc", 3));
  EXPECT_EQ("\x01", encode("1G", 3));
  EXPECT_EQ(std::string("\0", 1), encode("G1", 3));
  EXPECT_EQ(std::string("\0", 1), encode(" 1", 3));
  EXPECT_EQ("", encode("", 3));
  EXPECT_EQ("", encode("a", 3));
  EXPECT_EQ("<refused>", encode("x", 7));
}

// The operations on the platform's registry: Wine's real registry under a
// scratch key, or the POSIX store in a scratch file.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    scratch = "Software\\ArkivaTest" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
#else
    setenv("ARKIVA_REGISTRY", (dir / "store/registry.reg").c_str(), 1);
    scratch = "Software\\ArkivaTest";
#endif
    base = "HKEY_CURRENT_USER\\" + scratch;
  }
#ifdef _WIN32
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch.c_str());
  }
#endif

  std::string Value(const std::string& key, const char* name) {
    return RegistryValueText(key, name);
  }

  ScratchDir dir;
  std::string scratch, base;
};

TEST_F(RegistryTest, KeysExistAfterCreationWithTheirParents) {
  std::string key = base + "\\Directory\\shell\\Create tar.xz\\command";
  EXPECT_EQ(0, RegistryKeyExists(key.c_str(), "."));
  EXPECT_EQ(0, RegistryKeyExists(base.c_str(), "."));  // nothing was created
  EXPECT_EQ(1, RegistryCreateKey(key.c_str(), "."));
  EXPECT_EQ(1, RegistryKeyExists(key.c_str(), "."));
  EXPECT_EQ(1, RegistryKeyExists((base + "\\directory\\SHELL\\create TAR.xz").c_str(), "."));
  EXPECT_EQ(1, RegistryKeyExists("HKEY_CURRENT_USER\\", "."));
  EXPECT_EQ(1, RegistryCreateKey("HKEY_CURRENT_USER\\", "."));
  EXPECT_EQ(1, RegistryKeyExists("HKEY_CURRENT_USER", "."));
  EXPECT_EQ(0, RegistryKeyExists(("HKEY_NOWHERE\\" + scratch).c_str(), "."));
  EXPECT_EQ(0, RegistryCreateKey(("HKEY_NOWHERE\\" + scratch + "\\x").c_str(), "."));
  EXPECT_EQ(0, RegistryCreateKey("HKEY_CURRENT_USER\\\\Software", "."));
}

TEST_F(RegistryTest, ValuesOfEveryTypeReadBackExactly) {
  std::string key = base + "\\Values";
  ASSERT_EQ(1, RegistryCreateKey(key.c_str(), "."));
  const char* k = key.c_str();
  EXPECT_EQ(1, RegistrySetValue(k, "", "Create tar.xz", 1, "."));
  EXPECT_EQ(1, RegistrySetValue(k, "empty", "", 1, "."));
  EXPECT_EQ(1, RegistrySetValue(k, "expand", "%SystemRoot%\\x", 2, "."));
  EXPECT_EQ(1, RegistrySetValue(k, "dword", "-1", 4, "."));
  EXPECT_EQ(1, RegistrySetValue(k, "binary", "0AFF10", 3, "."));
  EXPECT_EQ(1, RegistrySetValue(k, "nothing", "a", 3, "."));
  EXPECT_EQ(std::string("1:Create tar.xz\0", 16), Value(key, ""));
  EXPECT_EQ(std::string("1:\0", 3), Value(key, "empty"));
  EXPECT_EQ(std::string("2:%SystemRoot%\\x\0", 17), Value(key, "expand"));
  EXPECT_EQ("4:\xff\xff\xff\xff", Value(key, "dword"));
  EXPECT_EQ("3:\x0a\xff\x10", Value(key, "binary"));
  EXPECT_EQ("3:", Value(key, "nothing"));
  // Replacing keeps the other values.
  EXPECT_EQ(1, RegistrySetValue(k, "DWORD", "$10", 4, "."));
  EXPECT_EQ(std::string("4:\x10\0\0\0", 6), Value(key, "dword"));
  EXPECT_EQ("3:\x0a\xff\x10", Value(key, "binary"));
  EXPECT_EQ(1, RegistryCreateKey(k, "."));  // an existing key keeps its values
  EXPECT_EQ("3:\x0a\xff\x10", Value(key, "binary"));
}

TEST_F(RegistryTest, KeyTreesAreRemovedWithEverythingBelow) {
  std::string key = base + "\\Tree";
  ASSERT_EQ(1, RegistryCreateAndSetValue((key + "\\a\\b").c_str(), "v", "1", 1, "."));
  ASSERT_EQ(1, RegistryCreateKey((base + "\\Treetop").c_str(), "."));
  EXPECT_EQ(1, RegistryDeleteKeyTree(("HKEY_CURRENT_USER\\" + scratch + "\\tree").c_str(), "."));
  EXPECT_EQ(0, RegistryKeyExists(key.c_str(), "."));
  EXPECT_EQ(0, RegistryKeyExists((key + "\\a\\b").c_str(), "."));
  EXPECT_EQ(1, RegistryKeyExists((base + "\\Treetop").c_str(), "."));  // a sibling stays
  EXPECT_EQ(1, RegistryDeleteKeyTree(key.c_str(), "."));               // already gone
  EXPECT_EQ(0, RegistryDeleteKeyTree("HKEY_CURRENT_USER\\", "."));
  EXPECT_EQ(0, RegistryDeleteKeyTree("HKEY_CURRENT_USER", "."));
}

TEST_F(RegistryTest, FailuresAreReported) {
  std::string key = base + "\\Values";
  std::string why;
  EXPECT_EQ(0, RegistrySetValue(key.c_str(), "", "x", 1, ".", &why));  // no such key
  EXPECT_FALSE(why.empty());
  EXPECT_EQ("missing", Value(key, ""));
  ASSERT_EQ(1, RegistryCreateKey(key.c_str(), "."));
  EXPECT_EQ(0, RegistrySetValue(key.c_str(), "seven", "x", 7, "."));
  EXPECT_EQ("missing", Value(key, "seven"));
  EXPECT_EQ(0, RegistryCreateAndSetValue(("HKEY_NOWHERE\\" + scratch).c_str(), "", "x", 1, "."));
  EXPECT_EQ(1, RegistryCreateAndSetValue((key + "\\new\\deeper").c_str(), "v", "7", 4, "."));
  EXPECT_EQ(std::string("4:\7\0\0\0", 6), Value(key + "\\new\\deeper", "v"));
}

#ifdef _WIN32
TEST_F(RegistryTest, MachineNamesOtherThanDotConnect) {
  std::string key = base + "\\Remote";
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof(name);
  GetComputerNameA(name, &size);
  EXPECT_EQ(1, RegistryCreateKey(key.c_str(), ""));  // the empty name is this machine
  EXPECT_EQ(1, RegistryKeyExists(key.c_str(), name));
  EXPECT_EQ(0, RegistryKeyExists(key.c_str(), ".."));  // unreachable
  EXPECT_EQ(0, RegistryKeyExists(key.c_str(), " ."));
  EXPECT_EQ(0, RegistrySetValue(key.c_str(), "", "x", 1, ".."));
}

TEST_F(RegistryTest, NoHandleIsLeftOpen) {
  std::string key = base + "\\Handles";
  RegistryCreateKey(key.c_str(), ".");
  // Wine hands out the lowest free handle slot: a handle left open by the
  // operations would take the slot that the event had.
  HANDLE before = CreateEventA(NULL, FALSE, FALSE, NULL);
  CloseHandle(before);
  for (int i = 0; i < 20; ++i) {
    RegistryKeyExists(key.c_str(), ".");
    RegistryKeyExists(key.c_str(), "");
    RegistryKeyExists("HKEY_CURRENT_USER\\", "");
    RegistryCreateAndSetValue(key.c_str(), "b", "00", 3, ".");
    RegistrySetValue(key.c_str(), "b", "00", 9, ".");
    RegistryKeyExists(key.c_str(), "..");
  }
  HANDLE after = CreateEventA(NULL, FALSE, FALSE, NULL);
  CloseHandle(after);
  EXPECT_EQ(before, after);
}
#else
TEST_F(RegistryTest, StoreFileIsAReadableRegistryExport) {
  ASSERT_EQ(1,
            RegistryCreateAndSetValue("HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\command",
                                      "", "\"/usr/bin/arkiva\" \"%1\"", 1, "."));
  ASSERT_EQ(1, RegistryCreateAndSetValue("hkey_current_user\\Software\\Ark", "n", "$2a", 4, "."));
  ASSERT_EQ(1, RegistrySetValue("HKEY_CURRENT_USER\\software\\ark", "b", "0aff", 3, "."));
  ASSERT_EQ(1, RegistrySetValue("HKEY_CURRENT_USER\\Software\\Ark", "e", "%P%", 2, "."));
  EXPECT_EQ(
      "Windows Registry Editor Version 5.00\n"
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\n"
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Directory]\n"
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Directory\\shell]\n"
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Directory\\shell\\Create tar.xz]\n"
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Directory\\shell\\Create tar.xz\\command]\n"
      "@=\"\\\"/usr/bin/arkiva\\\" \\\"%1\\\"\"\n"
      "\n[HKEY_CURRENT_USER\\Software]\n"
      "\n[HKEY_CURRENT_USER\\Software\\Ark]\n"
      "\"n\"=dword:0000002a\n"
      "\"b\"=hex:0a,ff\n"
      "\"e\"=hex(2):25,50,25,00\n",
      ReadText(dir / "store/registry.reg"));
  EXPECT_EQ(1, RegistryKeyExists("HKEY_LOCAL_MACHINE\\Software\\Classes\\directory\\shell", "."));
  EXPECT_EQ(0, RegistryKeyExists("HKEY_CURRENT_USER\\Software\\Ark", ".."));
  EXPECT_EQ(0, RegistryCreateKey("HKEY_CURRENT_USER\\Software\\Ark", ""));
}

TEST(RegistryStore, TypesBeyondNineRoundTripInHex) {
  // Found by fuzzing: hex(N) carries the type in hexadecimal.
  std::string text =
      "Windows Registry Editor Version 5.00\n\n[HKEY_USERS\\x]\n\"q\"=hex(b):01,02\n";
  RegistryStore store;
  ASSERT_TRUE(ParseRegistryStore(text, &store));
  EXPECT_EQ(11u, store.keys[0].values[0].type);
  EXPECT_EQ(text, FormatRegistryStore(store));
  EXPECT_FALSE(
      ParseRegistryStore(text.substr(0, text.find("hex(b)")) + "hex(123456789):00\n", &store));
}

TEST_F(RegistryTest, ADamagedStoreIsNeverOverwritten) {
  ASSERT_EQ(1, RegistryCreateKey((base + "\\k").c_str(), "."));
  std::string file = dir / "store/registry.reg";
  std::string good = ReadText(file);
  for (const std::string& damaged :
       {good.substr(0, good.size() - 3),
        std::string("\x7f"
                    "ELF\0\1\2",
                    7),
        std::string(), good + "garbage line\n", good + "[-HKEY_CURRENT_USER\\x]\n"}) {
    WriteText(file, damaged);
    std::string why;
    EXPECT_EQ(0, RegistryCreateKey((base + "\\other").c_str(), ".", &why));
    EXPECT_EQ(0, RegistrySetValue((base + "\\k").c_str(), "", "x", 1, "."));
    EXPECT_EQ(0, RegistryKeyExists((base + "\\k").c_str(), "."));
    EXPECT_NE(std::string::npos, why.find("left as it is")) << why;
    EXPECT_EQ(damaged, ReadText(file));
  }
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  std::string script;
  for (int i = 0; i < 8; ++i)
    script += BuildPath("tests/registry_writer") + " " + std::to_string(i) + " & ";
  ASSERT_EQ(0, RunShell(script + "wait"));
  RegistryStore store;
  ASSERT_TRUE(ParseRegistryStore(ReadText(dir / "store/registry.reg"), &store));
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 10; ++j)
      EXPECT_EQ("1:" + std::to_string(i) + std::string(1, '\0'),
                Value("HKEY_CURRENT_USER\\Software\\Writer" + std::to_string(i) + "\\k" +
                          std::to_string(j),
                      "v"));
}

TEST_F(RegistryTest, ReadOnlyStoreFolderFailsWithTheReason) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders";
  MakeDir(dir / "store");
  chmod((dir / "store").c_str(), 0500);
  std::string why;
  EXPECT_EQ(0, RegistryCreateKey((base + "\\k").c_str(), ".", &why));
  EXPECT_NE(std::string::npos, why.find("Permission denied")) << why;
}

TEST_F(RegistryTest, StoreLocation) {
  unsetenv("ARKIVA_REGISTRY");
  setenv("XDG_CONFIG_HOME", dir.path.c_str(), 1);
  EXPECT_EQ(dir.path + "/arkiva/registry.reg", RegistryStorePath());
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(std::string(getenv("HOME")) + "/.config/arkiva/registry.reg", RegistryStorePath());
}

// The file the store writes imports into Wine's registry unchanged.
TEST_F(RegistryTest, WinesRegImportReadsTheStore) {
  if (RunShell("command -v wine") != 0)
    GTEST_SKIP() << "needs wine";
  // The Windows build's prefix when it is there, else one of our own.
  std::string prefix = BuildPath("../windows/wineprefix");
  if (!PathExists(prefix + "/system.reg")) {
    prefix = BuildPath("wineprefix");
    if (!PathExists(prefix + "/system.reg")) {
      ASSERT_EQ(0, RunShell("WINEPREFIX='" + prefix +
                            "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' "
                            "setarch $(uname -m) -R wineboot -i && WINEPREFIX='" +
                            prefix + "' wineserver -w"));
    }
  }
  std::string key = "HKEY_CURRENT_USER\\Software\\ArkivaImport" + std::to_string(getpid());
  RegistryCreateAndSetValue(key.c_str(), "", "\"C:\\arkiva.exe\" \"%1\"", 1, ".");
  RegistrySetValue(key.c_str(), "d", "$2a", 4, ".");
  RegistrySetValue(key.c_str(), "b", "0aff", 3, ".");
  RegistrySetValue(key.c_str(), "e", "%P%", 2, ".");
  // No address-space randomization, as in the Windows build's wine-run.
  std::string env = "WINEPREFIX='" + prefix + "' WINEDEBUG=-all setarch $(uname -m) -R ";
  std::string out;
  ASSERT_EQ(0, RunShell(env + "wine reg import '" + dir / "store/registry.reg" + "'", &out)) << out;
  EXPECT_EQ(0, RunShell(env + "wine reg query '" + key + "'", &out)) << out;
  std::string deleted;
  EXPECT_EQ(0, RunShell(env + "wine reg delete '" + key + "' /f", &deleted)) << deleted;
  EXPECT_NE(std::string::npos, out.find("(Default)    REG_SZ    \"C:\\arkiva.exe\" \"%1\"")) << out;
  EXPECT_NE(std::string::npos, out.find("d    REG_DWORD    0x2a")) << out;
  EXPECT_NE(std::string::npos, out.find("b    REG_BINARY    0AFF")) << out;
  EXPECT_NE(std::string::npos, out.find("e    REG_EXPAND_SZ    %P%")) << out;
}
#endif
