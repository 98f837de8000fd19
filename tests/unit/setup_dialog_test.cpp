// The setup dialog headless: the selection view for several machines and
// both editions, the install button, the bindings, the colours, the ways
// out, and the run of the application around it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/wizard_app.h"
#include "engine/acad_setup.h"
#include "platform/memory/headless_dialog.h"
#include "platform/memory/memory_accounts.h"
#include "platform/memory/memory_processes.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_shell.h"
#include "platform/reg_file.h"
#include "ui/dlg_setup.h"
#include "ui/setup_template.h"
#include "tests/support/fixtures.h"
#include "tests/support/null_files.h"
#include "tests/support/scripted_owner.h"

using platform::HeadlessDialog;

namespace {

constexpr int kIndex2017 = 2017 - kFirstYear;

// One machine, one engine of the given edition, one dialog run headless.
class SetupDialogTest : public ::testing::Test {
 protected:
  void UseMachine(const std::string& fixture) { testing_support::LoadRegFixture(registry, fixture); }
  void AddRelease(int year, const std::string& folder) {
    std::string error;
    ASSERT_TRUE(platform::ImportRegText(registry,
                                        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Autodesk\\AutoCAD\\R" +
                                            std::to_string(year) + "\\ACAD-0001:804]\n\"AcadLocation\"=" +
                                            platform::QuoteRegString(folder) + "\n\"ProductName\"=\"AutoCAD " +
                                            std::to_string(year) + "\"\n",
                                        &error))
        << error;
  }

  // Scans, then runs the dialog; `user` acts while it is up. The result of
  // the modal run.
  int Run(int bits, const std::function<void(Dlg_Setup&, HeadlessDialog&)>& user, int version = ::versionNumber) {
    setup = std::make_unique<CAcadSetup>(registry, files, owner, bits);
    setup->ScanReleases();
    dialog = std::make_unique<Dlg_Setup>(
        SetupContext{*setup, files, processes, shell, accounts, lastBrowse, warnHostRunning, version});
    dialog->UseRunner(runner);
    runner.user = [&](HeadlessDialog& window) { user(*dialog, window); };
    return dialog->DoModal();
  }

  platform::MemoryRegistry registry;
  testing_support::NullFileSystem files;
  platform::MemoryProcessList processes;
  testing_support::ScriptedOwner owner;
  platform::MemoryShell shell;
  platform::MemoryAccounts accounts;
  std::string lastBrowse;
  bool warnHostRunning = true;
  platform::HeadlessDialogRunner runner;
  std::unique_ptr<CAcadSetup> setup;
  std::unique_ptr<Dlg_Setup> dialog;
};

struct BoxState {
  bool visible, enabled;
  int checked;
};

BoxState StateOf(HeadlessDialog& window, int k) {
  const int id = kReleaseBoxIds[k];
  return {window.IsVisible(id), window.IsEnabled(id), window.GetCheck(id)};
}

// Found releases 2007, 2008, 2010, 2011, 2014, 2018 and 2024.
bool FoundOnSelectionMachine(int year) {
  return year == 2007 || year == 2008 || year == 2010 || year == 2011 || year == 2014 || year == 2018 ||
         year == 2024;
}

TEST_F(SetupDialogTest, SelectionViewOffersExactlyTheFoundReleasesOfEachEdition) {
  UseMachine("selection_machine.reg");
  for (const int bits : {32, 64}) {
    SCOPED_TRACE(bits);
    Run(bits, [&](Dlg_Setup& dlg, HeadlessDialog& window) {
      for (int k = 0; k < kReleaseCount; ++k) {
        const int year = kFirstYear + k;
        SCOPED_TRACE(year);
        const bool served = bits == 64 || year <= 2016;
        const bool offered = served && FoundOnSelectionMachine(year);
        const BoxState box = StateOf(window, k);
        EXPECT_EQ(box.visible, served);
        // A box of a found release stays enabled even where it is hidden.
        EXPECT_EQ(box.enabled, FoundOnSelectionMachine(year));
        EXPECT_EQ(box.checked, offered ? 1 : 0);
        EXPECT_EQ(dlg.selectionFlags[k], offered ? 1 : 0);
      }
      EXPECT_TRUE(window.IsEnabled(SetupControl::InstallButton));
    });
  }
}

TEST_F(SetupDialogTest, ThirtyTwoBitEditionNeverOffersALaterRelease) {
  AddRelease(2017, "C:\\CAD2017");
  AddRelease(2027, "C:\\CAD2027");
  Run(32, [&](Dlg_Setup& dlg, HeadlessDialog& window) {
    for (int k = kIndex2017; k < kReleaseCount; ++k) {
      EXPECT_FALSE(window.IsVisible(kReleaseBoxIds[k]));
      EXPECT_EQ(dlg.selectionFlags[k], 0);
    }
    // Nothing the 32-bit edition serves was found: nothing to install.
    EXPECT_FALSE(window.IsEnabled(SetupControl::InstallButton));
    // A click cannot reach a hidden box.
    EXPECT_FALSE(window.Click(kReleaseBoxIds[kIndex2017]));
    EXPECT_EQ(dlg.selectionFlags[kIndex2017], 0);
  });
  Run(64, [&](Dlg_Setup& dlg, HeadlessDialog& window) {
    EXPECT_TRUE(window.IsVisible(kReleaseBoxIds[kIndex2017]));
    EXPECT_EQ(dlg.selectionFlags[kIndex2017], 1);
    EXPECT_EQ(dlg.selectionFlags[kReleaseCount - 1], 1);
    EXPECT_TRUE(window.IsEnabled(SetupControl::InstallButton));
  });
}

TEST_F(SetupDialogTest, NoAutoCadLeavesOnlyBrowseAndClose) {
  UseMachine("empty_machine.reg");
  const int result = Run(64, [&](Dlg_Setup& dlg, HeadlessDialog& window) {
    for (int k = 0; k < kReleaseCount; ++k) {
      EXPECT_FALSE(window.IsEnabled(kReleaseBoxIds[k]));
      EXPECT_EQ(window.GetCheck(kReleaseBoxIds[k]), 0);
      EXPECT_EQ(dlg.selectionFlags[k], 0);
    }
    EXPECT_FALSE(window.IsEnabled(SetupControl::InstallButton));
    EXPECT_FALSE(window.Click(kReleaseBoxIds[0]));
    EXPECT_TRUE(window.IsEnabled(SetupControl::BrowseButton));
    EXPECT_TRUE(window.Click(SetupControl::CancelButton));
  });
  EXPECT_EQ(result, platform::kIdCancel);
}

TEST_F(SetupDialogTest, InstallButtonFollowsTheTicks) {
  AddRelease(2010, "C:\\CAD2010");
  AddRelease(2011, "C:\\CAD2011");
  Run(32, [&](Dlg_Setup& dlg, HeadlessDialog& window) {
    // 2010 is box 1027 and flag 3; 2011 is box 1026 and flag 4.
    EXPECT_EQ(kReleaseBoxIds[3], 1027);
    EXPECT_EQ(kReleaseBoxIds[4], 1026);
    EXPECT_STREQ(window.TemplateOf(1027)->text, "For AutoCAD2010");
    EXPECT_STREQ(window.TemplateOf(1026)->text, "For AutoCAD2011");

    ASSERT_TRUE(window.Click(1027));
    EXPECT_EQ(dlg.selectionFlags[3], 0);
    EXPECT_EQ(dlg.selectionFlags[4], 1);
    EXPECT_TRUE(window.IsEnabled(SetupControl::InstallButton));

    ASSERT_TRUE(window.Click(1026));
    EXPECT_EQ(dlg.selectionFlags[4], 0);
    EXPECT_FALSE(window.IsEnabled(SetupControl::InstallButton)) << "unticking the last box";

    ASSERT_TRUE(window.Click(1026));
    EXPECT_EQ(dlg.selectionFlags[4], 1);
    EXPECT_EQ(dlg.selectionFlags[3], 0);
    EXPECT_TRUE(window.IsEnabled(SetupControl::InstallButton));
  });
}

TEST_F(SetupDialogTest, EveryBoxIsExchangedHiddenOrDisabled) {
  AddRelease(2018, "C:\\CAD2018");
  Run(32, [&](Dlg_Setup& dlg, HeadlessDialog& window) {
    const int k2018 = 2018 - kFirstYear;
    const int id2018 = kReleaseBoxIds[k2018];
    ASSERT_FALSE(window.IsVisible(id2018));
    // A flag written to a hidden box comes back from it unchanged.
    dlg.selectionFlags[k2018] = 1;
    dlg.UpdateData(false);
    EXPECT_EQ(window.GetCheck(id2018), 1);
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.selectionFlags[k2018], 1);
    // So does a disabled box's.
    const int k2009 = 2009 - kFirstYear;
    ASSERT_FALSE(window.IsEnabled(kReleaseBoxIds[k2009]));
    window.SetCheck(kReleaseBoxIds[k2009], 1);
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.selectionFlags[k2009], 1);
    // The folder field too, as typed.
    window.TypeText(SetupControl::FolderField, "D:\\工具");
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.folderPath, "D:\\工具");
  });
}

TEST_F(SetupDialogTest, TitleAndEditionReplaceTheTemplateTexts) {
  struct Case {
    int version;
    const char* title;
  };
  const Case cases[] = {{20260801, "批打印软件 V2026.08.01"},
                        {20261231, "批打印软件 V2026.12.31"},
                        {20270109, "批打印软件 V2027.01.09"},
                        {20261005, "批打印软件 V2026.10.05"},
                        {20260910, "批打印软件 V2026.09.10"}};
  for (const Case& c : cases) {
    for (const int bits : {32, 64}) {
      Run(
          bits,
          [&](Dlg_Setup& dlg, HeadlessDialog& window) {
            EXPECT_EQ(window.GetText(SetupControl::TitleLabel, platform::TextCodePage::Program), c.title);
            EXPECT_EQ(dlg.titleText, c.title);
            EXPECT_EQ(window.GetText(SetupControl::EditionLabel, platform::TextCodePage::Program),
                      bits == 32 ? "( 32位 AutoCAD版 )" : "( 64位 AutoCAD版 )");
            EXPECT_EQ(window.GetText(SetupControl::FolderField, platform::TextCodePage::System), "C:\\Velkor");
            EXPECT_EQ(window.SmallIcon(), 1);
          },
          c.version);
    }
  }
}

TEST_F(SetupDialogTest, TemplateTextsOfTheLabelsAreReplacedBeforeTheFirstPaint) {
  // What the first paint finds in the labels: the runner paints once the
  // initialisation is over, before the user sees anything.
  platform::HeadlessGraphics& gdi = runner.gdi;
  Run(32, [&](Dlg_Setup&, HeadlessDialog& window) {
    EXPECT_EQ(std::string(window.TemplateOf(SetupControl::TitleLabel)->text), "Velkor批打印软件");
    EXPECT_EQ(std::string(window.TemplateOf(SetupControl::EditionLabel)->text), "(%d位版本)");
    EXPECT_NE(window.GetText(SetupControl::TitleLabel, platform::TextCodePage::Program), "Velkor批打印软件");
    EXPECT_NE(window.GetText(SetupControl::EditionLabel, platform::TextCodePage::Program), "(%d位版本)");
    EXPECT_EQ(window.painted.count(SetupControl::TitleLabel), 1u);
    EXPECT_GT(gdi.LiveCount(), 0u);
  });
}

TEST_F(SetupDialogTest, ColoursOneBrushForAllFontsOnlyForTheTwoLabels) {
  AddRelease(2010, "C:\\CAD2010");
  platform::HeadlessGraphics& gdi = runner.gdi;
  Run(32, [&](Dlg_Setup& dlg, HeadlessDialog& window) {
    for (int i = 0; i < 50; ++i) window.Paint();
    const platform::GdiObject brush = dlg.bkBrush.GetSafeHandle();
    ASSERT_NE(brush, platform::kNoObject);
    EXPECT_EQ(gdi.brushes.at(brush), platform::Rgb(170, 210, 150));
    // The dialog, ten boxes, and 2, 1000, 1013, 1015, 1016, 1017, 1022, 1024.
    ASSERT_EQ(window.painted.size(), 19u);
    for (const auto& [id, painted] : window.painted) {
      SCOPED_TRACE(id);
      EXPECT_EQ(painted.brush, brush) << "every control and the dialog get the one brush";
      EXPECT_EQ(painted.bkMode, id == SetupControl::FolderField ? platform::kOpaque : platform::kTransparent);
      const bool label = id == SetupControl::TitleLabel || id == SetupControl::EditionLabel;
      EXPECT_EQ(painted.textColor, label ? platform::Rgb(10, 70, 40) : platform::Rgb(0, 0, 0));
      EXPECT_EQ(painted.font != platform::kNoObject, label);
    }
    const platform::FontSpec& title = gdi.fonts.at(window.painted.at(SetupControl::TitleLabel).font);
    EXPECT_EQ(title.height, 14);
    EXPECT_EQ(title.weight, 600);
    const platform::FontSpec& edition = gdi.fonts.at(window.painted.at(SetupControl::EditionLabel).font);
    EXPECT_EQ(edition.height, 13);
    EXPECT_EQ(edition.weight, 400);
    for (const platform::FontSpec* font : {&title, &edition}) {
      EXPECT_EQ(font->face, "宋体");
      EXPECT_EQ(font->charSet, 0);
      EXPECT_FALSE(font->italic || font->underline || font->strikeOut);
    }
    // Fifty repaints made no object beyond the brush and the two fonts.
    EXPECT_EQ(gdi.CreatedCount(), 3u);
    EXPECT_EQ(gdi.LiveCount(), 3u);
    window.Click(SetupControl::CancelButton);
  });
  dialog.reset();
  EXPECT_EQ(gdi.LiveCount(), 0u) << "the dialog released its brush and fonts";
}

TEST_F(SetupDialogTest, EveryWayOutEndsTheDialogWithoutInstalling) {
  AddRelease(2010, "C:\\CAD2010");
  struct Way {
    const char* name;
    std::function<void(HeadlessDialog&)> act;
    int result;
  };
  const Way ways[] = {
      {"cancel button", [](HeadlessDialog& w) { w.Click(SetupControl::CancelButton); }, platform::kIdCancel},
      {"escape", [](HeadlessDialog& w) { w.PressEscape(); }, platform::kIdCancel},
      {"close box", [](HeadlessDialog& w) { w.PressCloseBox(); }, platform::kIdCancel},
      {"enter on a box", [](HeadlessDialog& w) { w.PressEnter(1027); }, platform::kIdOk},
      {"enter in the folder field", [](HeadlessDialog& w) { w.PressEnter(SetupControl::FolderField); },
       platform::kIdOk},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    const int result = Run(32, [&](Dlg_Setup&, HeadlessDialog& window) {
      window.Click(1027);  // untick: OK must read it
      window.TypeText(SetupControl::FolderField, "E:\\Plot");
      way.act(window);
      EXPECT_TRUE(window.Ended());
    });
    EXPECT_EQ(result, way.result);
    if (result == platform::kIdOk) {
      // The framework's OK reads the controls before it ends the dialog.
      EXPECT_EQ(dialog->selectionFlags[3], 0);
      EXPECT_EQ(dialog->folderPath, "E:\\Plot");
    }
    EXPECT_EQ(setup->installFolder, "") << "nothing was installed";
    EXPECT_FALSE(dialog->progressBar.IsAttached()) << "controls are detached once the window is gone";
  }
}

TEST_F(SetupDialogTest, TheTemplateHoldsThirtySevenControlsInTabOrder) {
  const platform::DialogTemplate& t = SetupDialogTemplate();
  EXPECT_EQ(t.resourceId, 141);
  EXPECT_EQ(t.controlCount, 37);
  EXPECT_EQ(t.style, 0x80CA00C0u);
  EXPECT_EQ(t.exStyle, 0x200u);
  EXPECT_EQ(std::string(t.caption), "V-批打印软件安装");
  EXPECT_EQ(std::string(t.fontFace), "宋体");
  // The release boxes first, in year order, in three columns of seven.
  for (int k = 0; k < kReleaseCount; ++k) {
    const platform::ControlTemplate& box = t.controls[k];
    EXPECT_EQ(box.id, kReleaseBoxIds[k]);
    EXPECT_EQ(std::string(box.text), "For AutoCAD" + std::to_string(kFirstYear + k));
    EXPECT_EQ(box.x, k < 7 ? 18 : k < 14 ? 104 : 190);
    EXPECT_EQ(box.y, 80 + 18 * (k % 7));
  }
  // No push button is the default one (BS_DEFPUSHBUTTON).
  for (int i = 0; i < t.controlCount; ++i) {
    if (std::string(t.controls[i].className) == "Button") {
      EXPECT_NE(t.controls[i].style & 0xF, 0x1u);
    }
  }
}

// The application's run: the scan first, then one dialog, whose boxes the
// engine's steps would own while it is up.
TEST_F(SetupDialogTest, TheRunScansBeforeTheDialogAndShowsItOnce) {
  AddRelease(2014, "C:\\CAD2014");
  CAcadSetup engine(registry, files, SetupMessageOwner(), 32);
  int dialogs = 0;
  runner.user = [&](HeadlessDialog& window) {
    ++dialogs;
    EXPECT_EQ(engine.acadFolders[2014 - kFirstYear].size(), 1u);
    EXPECT_EQ(window.GetCheck(kReleaseBoxIds[2014 - kFirstYear]), 1);
    EXPECT_NE(SetupMessageOwner().target, nullptr);
    SetupMessageOwner().ShowMessage("x", "V-软件安装", platform::kMbOk);
    EXPECT_EQ(window.boxes.size(), 1u) << "the engine's box is owned by the dialog";
    window.PressCloseBox();
  };
  RunWizard(WizardWorld{engine, files, processes, shell, accounts, runner, lastBrowse, warnHostRunning});
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(SetupMessageOwner().target, nullptr);
}

}  // namespace
