// The window family's contract, held against the headless dialog and (on
// Windows) a real dialog made from template 141: controls as the template
// makes them, check marks, visibility and enabling, texts in both code
// pages, the progress bar's range, position and step, the geometry the
// completion view's shrink relies on, clicks, and the end of the run.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/headless_dialog.h"
#include "platform/window.h"
#include "ui/setup_template.h"

namespace {

using platform::DialogWindow;

// A handler that runs a script once the dialog is on the screen, then ends
// the dialog with 7; it records the commands that reach it.
class ScriptHandler final : public platform::DialogHandler {
 public:
  std::function<void(DialogWindow&)> script;
  struct Command {
    int id, code, checkWhenSeen;
  };
  std::vector<Command> commands;
  int gone = 0;

  bool OnWindowInit(DialogWindow& window) override {
    window_ = &window;
    return true;
  }
  void OnWindowShown(DialogWindow& window) override {
    if (script) script(window);
    window.End(7);
  }
  void OnWindowCommand(int id, int code) override {
    commands.push_back({id, code, window_ ? window_->GetCheck(id) : -1});
  }
  platform::GdiObject OnWindowCtlColor(platform::DeviceContext&, int, int) override { return platform::kNoObject; }
  void OnWindowGone() override {
    ++gone;
    window_ = nullptr;
  }

 private:
  DialogWindow* window_ = nullptr;
};

struct World {
  const char* name;
  std::function<std::unique_ptr<platform::DialogRunner>()> make;
};

class DialogContract : public ::testing::TestWithParam<World> {
 protected:
  // Runs `script` in a fresh dialog of template 141; the run's result.
  int Run(const std::function<void(DialogWindow&)>& script) {
    runner_ = GetParam().make();
    handler.script = script;
    return runner_->RunModal(SetupDialogTemplate(), handler);
  }
  ScriptHandler handler;

 private:
  std::unique_ptr<platform::DialogRunner> runner_;
};

constexpr int kCheckBox2007 = 1018;
constexpr int kInstallDone = 1, kCancel = 2, kFolderField = 1000, kTitle = 1013, kProgress = 1014;

TEST_P(DialogContract, ControlsStartAsTheTemplateSays) {
  const platform::DialogTemplate& t = SetupDialogTemplate();
  const int result = Run([&](DialogWindow& window) {
    EXPECT_TRUE(window.IsVisible(0));
    EXPECT_FALSE(window.HasItem(4242));
    for (int i = 0; i < t.controlCount; ++i) {
      const platform::ControlTemplate& control = t.controls[i];
      if (control.id == -1) continue;
      SCOPED_TRACE(control.id);
      ASSERT_TRUE(window.HasItem(control.id));
      EXPECT_EQ(window.IsVisible(control.id), control.visible);
      EXPECT_TRUE(window.IsEnabled(control.id));
      EXPECT_EQ(window.GetCheck(control.id), 0);
      if (control.text) {
        EXPECT_EQ(window.GetText(control.id, platform::TextCodePage::Program), control.text);
      }
    }
    EXPECT_EQ(window.GetText(0, platform::TextCodePage::Program), t.caption);
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(handler.gone, 1);
}

TEST_P(DialogContract, StatesAndTextsRoundTrip) {
  Run([&](DialogWindow& window) {
    window.SetCheck(kCheckBox2007, 1);
    EXPECT_EQ(window.GetCheck(kCheckBox2007), 1);
    window.SetCheck(kCheckBox2007, 0);
    EXPECT_EQ(window.GetCheck(kCheckBox2007), 0);
    // A hidden or disabled box keeps its check mark.
    window.SetCheck(1033, 1);
    window.Show(1033, platform::kSwHide);
    window.Enable(1033, false);
    EXPECT_FALSE(window.IsVisible(1033));
    EXPECT_FALSE(window.IsEnabled(1033));
    EXPECT_EQ(window.GetCheck(1033), 1);
    window.Show(kProgress, platform::kSwShowNormal);
    EXPECT_TRUE(window.IsVisible(kProgress));
    // The program's texts and the system's, both in code page 936 here.
    window.SetText(kTitle, "批打印软件 V2026.08.01", platform::TextCodePage::Program);
    EXPECT_EQ(window.GetText(kTitle, platform::TextCodePage::Program), "批打印软件 V2026.08.01");
    window.SetText(kFolderField, "D:\\工具\\V-VidudOvev", platform::TextCodePage::System);
    EXPECT_EQ(window.GetText(kFolderField, platform::TextCodePage::System), "D:\\工具\\V-VidudOvev");
    window.SetText(kFolderField, "", platform::TextCodePage::System);
    EXPECT_EQ(window.GetText(kFolderField, platform::TextCodePage::System), "");
  });
}

TEST_P(DialogContract, ProgressBarKeepsItsRangeAndStartsOverPastTheTop) {
  Run([&](DialogWindow& window) {
    window.Send(kProgress, platform::kPbmSetRange, 0, 50 << 16);
    window.Send(kProgress, platform::kPbmSetStep, 1, 0);
    window.Send(kProgress, platform::kPbmSetPos, 0, 0);
    EXPECT_EQ(window.Send(kProgress, platform::kPbmGetPos, 0, 0), 0);
    std::vector<long> positions;
    for (int i = 0; i < 53; ++i) {
      window.Send(kProgress, platform::kPbmStepIt, 0, 0);
      positions.push_back(static_cast<long>(window.Send(kProgress, platform::kPbmGetPos, 0, 0)));
    }
    EXPECT_EQ(positions[0], 1);
    EXPECT_EQ(positions[49], 50) << "full after fifty steps";
    EXPECT_EQ(positions[50], 1) << "one step past the top starts over";
    EXPECT_EQ(positions[52], 3);
    // A position past the top shows full.
    window.Send(kProgress, platform::kPbmSetPos, 80, 0);
    EXPECT_EQ(window.Send(kProgress, platform::kPbmGetPos, 0, 0), 50);
    window.Send(kProgress, platform::kPbmSetPos, 50, 0);
    EXPECT_EQ(window.Send(kProgress, platform::kPbmGetPos, 0, 0), 50);
    // A bigger step past the top.
    window.Send(kProgress, platform::kPbmSetPos, 45, 0);
    window.Send(kProgress, platform::kPbmSetStep, 10, 0);
    window.Send(kProgress, platform::kPbmStepIt, 0, 0);
    EXPECT_EQ(window.Send(kProgress, platform::kPbmGetPos, 0, 0), 5);
  });
}

TEST_P(DialogContract, GeometryOfButtonsAndTheWindow) {
  Run([&](DialogWindow& window) {
    const platform::Rect dialog = window.WindowRect(0);
    const platform::Rect done = window.ScreenToClient(window.WindowRect(kInstallDone));
    const platform::Rect cancel = window.ScreenToClient(window.WindowRect(kCancel));
    // Button 1 is 14 units high at 214, button 2 at 262: 48 units apart,
    // as many pixels as the dialog's base units make of them.
    EXPECT_EQ(done.Height(), cancel.Height());
    const double pixelsPerUnit = cancel.Height() / 14.0;
    EXPECT_NEAR(cancel.bottom - done.bottom, 48 * pixelsPerUnit, 2.0);
    EXPECT_GT(done.top, 0);
    EXPECT_LT(cancel.bottom, dialog.Height());
    // Moving the window to a shorter rectangle.
    const platform::Rect shorter{dialog.left, dialog.top, dialog.right, dialog.bottom - 72};
    window.Move(0, shorter, true);
    const platform::Rect moved = window.WindowRect(0);
    EXPECT_EQ(moved.left, shorter.left);
    EXPECT_EQ(moved.top, shorter.top);
    EXPECT_EQ(moved.Height(), dialog.Height() - 72);
    EXPECT_EQ(moved.Width(), dialog.Width());
  });
}

TEST_P(DialogContract, ClickTogglesAnAutoCheckBoxBeforeItsCommandArrives) {
  Run([&](DialogWindow& window) {
    window.Send(kCheckBox2007, platform::kBmClick, 0, 0);
    window.Send(kCheckBox2007, platform::kBmClick, 0, 0);
    window.Send(kCancel, platform::kBmClick, 0, 0);
  });
  ASSERT_EQ(handler.commands.size(), 3u);
  EXPECT_EQ(handler.commands[0].id, kCheckBox2007);
  EXPECT_EQ(handler.commands[0].code, platform::kBnClicked);
  EXPECT_EQ(handler.commands[0].checkWhenSeen, 1);
  EXPECT_EQ(handler.commands[1].checkWhenSeen, 0);
  EXPECT_EQ(handler.commands[2].id, kCancel);
}

std::vector<World> Worlds() {
  std::vector<World> worlds = {
      {"headless", [] { return std::unique_ptr<platform::DialogRunner>(new platform::HeadlessDialogRunner); }}};
#ifdef _WIN32
  worlds.push_back({"win32", [] {
                      // The system's runner lives for the program; hand out a
                      // forwarding copy.
                      struct Forward final : platform::DialogRunner {
                        int RunModal(const platform::DialogTemplate& t, platform::DialogHandler& h) override {
                          return platform::SystemDialogRunner().RunModal(t, h);
                        }
                      };
                      return std::unique_ptr<platform::DialogRunner>(new Forward);
                    }});
#endif
  return worlds;
}

INSTANTIATE_TEST_SUITE_P(Worlds, DialogContract, ::testing::ValuesIn(Worlds()),
                         [](const ::testing::TestParamInfo<World>& world) { return std::string(world.param.name); });

}  // namespace
