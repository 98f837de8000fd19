// The host check against the in-memory process list: the containment rule,
// and the snapshot's release on every way out.
#include <gtest/gtest.h>

#include "deploy/host_process.h"
#include "platform/memory/memory_processes.h"

using platform::MemoryProcessList;

namespace {

TEST(IsAcadRunning, NamesContainingAcadExeInAnyCase) {
  const struct {
    const char* name;
    bool running;
  } cases[] = {
      {"acad.exe", true},      {"ACAD.EXE", true},  {"Acad.Exe", true},  {"acad.exe.old", true},
      {"xacad.exe", true},     {"acad.ex", false},  {"accad.exe", false}, {"acadlt.exe", false},
      {"测试acad.exe", true},
      // 0x81 0x61 is one character: its trail byte is no letter a.
      {"\x81" "acad.exe", false},
  };
  for (const auto& c : cases) {
    MemoryProcessList processes;
    processes.running = {"System", "explorer.exe", c.name, "notepad.exe"};
    EXPECT_EQ(IsAcadRunning(processes), c.running) << c.name;
    EXPECT_EQ(processes.OpenSnapshotCount(), 0u) << c.name;
  }
}

TEST(IsAcadRunning, FirstMatchEndsTheWalk) {
  MemoryProcessList processes;
  processes.running = {"System", "acad.exe", "explorer.exe", "ACAD.EXE"};
  EXPECT_TRUE(IsAcadRunning(processes));
  EXPECT_EQ(processes.EntriesRead(), 2u);
  EXPECT_EQ(processes.OpenSnapshotCount(), 0u);
}

TEST(IsAcadRunning, UnreadableListMeansNotRunning) {
  MemoryProcessList processes;
  processes.running = {"acad.exe"};
  processes.failSnapshot = true;
  EXPECT_FALSE(IsAcadRunning(processes));

  processes.failSnapshot = false;
  processes.failFirst = true;
  EXPECT_FALSE(IsAcadRunning(processes));
  EXPECT_EQ(processes.OpenSnapshotCount(), 0u);

  MemoryProcessList empty;
  EXPECT_FALSE(IsAcadRunning(empty));
  EXPECT_EQ(empty.OpenSnapshotCount(), 0u);
}

}  // namespace
