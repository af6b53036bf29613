// What a user sees while tar runs long, and how a run is stopped: Windows'
// progress dialog and its Cancel; on POSIX, a line on a terminal and Ctrl-C.
// Runs alone (SERIAL): a "quick" run must stay quick.

#include <atomic>
#include <filesystem>
#include <thread>

#include "host/ui/progress.h"
#include "tests/arkiva_run.h"

#ifdef _WIN32
#include "tests/progress_dialog.h"
#else
#include <signal.h>
#endif

TEST(FormatProgress, UnitsAndRounding) {
  EXPECT_EQ("0 bytes", FormatBytes(0));
  EXPECT_EQ("1 byte", FormatBytes(1));
  EXPECT_EQ("1023 bytes", FormatBytes(1023));
  EXPECT_EQ("1.0 KB", FormatBytes(1024));
  EXPECT_EQ("1.0 MB", FormatBytes(1024 * 1024 - 1));  // never "1024.0 KB"
  EXPECT_EQ("64.0 MB", FormatBytes(64ull << 20));
  EXPECT_EQ("1.5 TB", FormatBytes(3ull << 39));
  EXPECT_EQ("50%  1.5 MB of 3.0 MB  768.0 KB/s", FormatProgressLine(3 << 19, 3 << 20, 2.0));
  EXPECT_EQ("0 bytes", FormatProgressLine(0, 0, 0));  // a walk: nothing to measure against
}

// A folder of 4 MB for a tar double that writes its Name.tar slowly: 64 KB
// every 100 ms, up to 150 blocks (9.6 MB, more than expected) in 15 s, unless
// stopped: ample time to see and cancel it.
class SlowTar : public ArchiveRun {
 protected:
  void SetUp() override {
    ArchiveRun::SetUp();
    MakeDir(folder);
    WriteText(folder + kSep + "data.bin", Noise(4 << 20, 7));
    on_start = [this](unsigned long id) { pid = id; };
  }
  int RunSlowly() {
    return Arkiva(folder, kRecording, "", {"ARKIVA_RECORD_WRITE=" + tar, "ARKIVA_RECORD_GROW=150"});
  }
  // Waits (up to 30 s) until the double's Name.tar holds at least `bytes`.
  void AwaitTarSize(uintmax_t bytes) {
    std::error_code error;
    for (int i = 0; i < 1500 && !(std::filesystem::file_size(tar, error) >= bytes && !error); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  std::string folder = dir / "Big";
  std::string tar = dir / "Big.tar";
  std::atomic<unsigned long> pid{0};
};

#ifdef _WIN32

TEST_F(SlowTar, TheDialogShowsTarsProgressAndCancelStopsIt) {
  DialogView first, later, again;
  std::thread user([&] {
    for (int i = 0; i < 1500 && !(first.found && first.position > 0); ++i) {
      Sleep(20);
      first = pid ? FindProgressDialog(pid) : DialogView();
    }
    AwaitTarSize(5 << 20);  // past the 4 MB expected: the bar waits short of tar's end
    later = FindProgressDialog(pid);
    Sleep(600);
    again = FindProgressDialog(pid);
    PostMessageA(again.cancel, BM_CLICK, 0, 0);  // as a click would
  });
  EXPECT_EQ(1, RunSlowly());
  user.join();
  ASSERT_TRUE(first.found);
  EXPECT_EQ("Create tar.xz", first.title);
  ASSERT_GE(first.lines.size(), 2u);
  EXPECT_EQ("Creating \"Big.tar\"", first.lines[0]);
  EXPECT_NE(std::string::npos, first.lines[1].find(" of 4.0 MB")) << first.lines[1];
  EXPECT_GT(later.position, first.position);
  // tar is the small first part of the item's work, before xz's.
  EXPECT_EQ(later.position, again.position);
  EXPECT_LT(later.position * 100.0 / later.range, 50.0);
  EXPECT_EQ("", message);  // no failure box
  EXPECT_FALSE(PathExists(tar));
  EXPECT_FALSE(PathExists(tar + ".xz"));
  EXPECT_EQ(1u, Records().size());  // tar ran, xz never did
  EXPECT_FALSE(FindProgressDialog(pid).found);
}

// The dialog in the user's display language (Wine's, one ctest run a
// language), its sizes with that language's decimal mark.
TEST_F(SlowTar, TheDialogInTheUsersLanguage) {
  struct {
    const char* language;
    const char* title;
    const char* step;
    const char* of_total;
  } rows[] = {
      {"en", "Create tar.xz", "Creating \"Big.tar\"", " of 4.0 MB"},
      {"de", "tar.xz erstellen", "„Big.tar“ wird erstellt", " von 4,0 MB"},
      {"ja", "tar.xz を作成", "「Big.tar」を作成中", " / 4.0 MB"},
  };
  for (const auto& row : rows) {
    if (DisplayLanguage() != row.language)
      continue;
    DialogView seen;
    std::thread user([&] {
      for (int i = 0; i < 1500 && !(seen.found && seen.lines.size() >= 2); ++i) {
        Sleep(20);
        seen = pid ? FindProgressDialog(pid) : DialogView();
      }
      PostMessageA(seen.cancel, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(1, RunSlowly());
    user.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(row.title, seen.title);
    ASSERT_GE(seen.lines.size(), 2u);
    EXPECT_EQ(row.step, seen.lines[0]);
    EXPECT_NE(std::string::npos, seen.lines[1].find(row.of_total)) << seen.lines[1];
  }
}

// A quick run shows nothing: no dialog in a run's first second. Told by
// when the dialog is first seen, counted from before arkiva starts, not by
// whether it is: on a loaded machine Wine may take more than a second to
// start tar and xz, and the run is then rightly shown.
TEST_F(ArchiveRun, AQuickTarShowsNoProgress) {
  std::string folder = dir / "Small";
  MakeDir(folder);
  WriteText(folder + kSep + "a.txt", "a");
  std::atomic<unsigned long> pid{0};
  std::atomic<bool> done{false};
  std::atomic<ULONGLONG> seen_after{0};
  on_start = [&](unsigned long id) { pid = id; };
  ULONGLONG before = GetTickCount64();
  std::thread watch([&] {
    while (!done && !seen_after) {
      if (pid && FindProgressDialog(pid).found)
        seen_after = GetTickCount64() - before;
      Sleep(10);
    }
  });
  EXPECT_EQ(0, Arkiva(folder, kReal));
  done = true;
  watch.join();
  if (seen_after) {
    EXPECT_GE(seen_after, 1000u) << "the dialog showed within the run's first second";
  }
  ExpectArchiveHolds(dir / "Small.tar.xz", folder);
}

#else

TEST_F(SlowTar, AProgressLineOnlyOnATerminal) {
  // Under a pseudo-terminal (script): drawn in place, then cleared.
  MakeRecordingDoubles();
  std::string out;
  std::string command = "'" + BuildPath("arkiva") + "' '" + folder + "'";
  EXPECT_EQ(0, RunArgv({"script", "-qec", command, "/dev/null"}, "", &out,
                       {"PATH=" + dir / "bin:/usr/bin:/bin", "ARKIVA_RECORD=" + log,
                        "ARKIVA_RECORD_WRITE=" + tar, "ARKIVA_RECORD_GROW=20",
                        "DISPLAY=", "WAYLAND_DISPLAY="}));
  EXPECT_NE(std::string::npos, out.find("\rtar: ")) << out;
  EXPECT_NE(std::string::npos, out.find(" of 4.0 MB  ")) << out;
  EXPECT_NE(std::string::npos, out.find("\r\033[K")) << out;

  // Standard error a file: nothing but what tar and xz said.
  std::filesystem::remove(tar);  // the double's xz leaves it, and its own output
  std::filesystem::remove(tar + ".xz");
  ASSERT_EQ(
      0, Arkiva(folder, kRecording, "", {"ARKIVA_RECORD_WRITE=" + tar, "ARKIVA_RECORD_GROW=20"}));
  EXPECT_EQ("", ReadText(io / "stderr.txt"));
}

TEST_F(SlowTar, CtrlCStopsTarAndRemovesTheTar) {
  std::thread user([&] {
    AwaitTarSize(256 << 10);
    kill(-static_cast<pid_t>(pid), SIGINT);  // the terminal's whole job
  });
  EXPECT_EQ(128 + SIGINT, RunSlowly());  // ended as interrupted, as shells expect
  user.join();
  EXPECT_EQ("", message);
  EXPECT_FALSE(PathExists(tar));
  EXPECT_EQ(1u, Records().size());  // xz never ran
}

TEST_F(ArchiveRun, CtrlCDuringXzRemovesTheTar) {
  std::string folder = dir / "Noise";
  MakeDir(folder);
  WriteText(folder + "/data.bin", Noise(24 << 20, 3));  // a few seconds of xz
  std::atomic<unsigned long> pid{0};
  on_start = [&](unsigned long id) { pid = id; };
  std::thread user([&] {
    for (int i = 0; i < 1500 && !PathExists(dir / "Noise.tar.xz"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(-static_cast<pid_t>(pid), SIGINT);
  });
  EXPECT_EQ(128 + SIGINT, Arkiva(folder, kReal)) << message;
  user.join();
  EXPECT_EQ("", message);
  EXPECT_FALSE(PathExists(dir / "Noise.tar"));
  EXPECT_FALSE(PathExists(dir / "Noise.tar.xz"));  // xz's own clean-up
}

#endif
