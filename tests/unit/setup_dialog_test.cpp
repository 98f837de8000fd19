// The setup dialog headless: the selection view for several machines and
// both editions, the install button, the bindings, the colours, the ways
// out, and the run of the application around it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// No box can be ticked: the dialog says so as it opens, and names the
// edition that serves what was found. The other edition's view is only
// looked at, never written, and the catalogue stays as the scan left it.
TEST_F(SetupDialogTest, NothingToOfferIsToldAsTheDialogOpens) {
  using View = platform::MemoryRegistry::View;
  const std::string x86 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk\\AutoCAD\\";
  struct Case {
    const char* name;
    View view;
    int bits;
    std::vector<std::string> x64, x86;  // "year" products, where 64-bit regedit shows them
    const char* told;                  // empty: no notice
    std::size_t catalogued;            // entries this edition's scan makes
  };
  const Case cases[] = {
      {"no AutoCAD, 64-bit edition", View::Native64, 64, {}, {}, "本机未找到AutoCAD 2007-2027", 0},
      {"no AutoCAD, 32-bit edition on 64-bit Windows", View::Wow64, 32, {}, {}, "本机未找到AutoCAD 2007-2027", 0},
      {"only 2020, 32-bit edition", View::Native64, 32, {"2020"}, {},
       "本程序（32位 AutoCAD版）不能为本机的AutoCAD 2020安装。\n\n请改用64位 AutoCAD版的SetUp.exe。", 1},
      // A 32-bit process does not see the 64-bit keys but through the hint.
      {"64-bit 2012 and 2020, 32-bit edition on 64-bit Windows", View::Wow64, 32, {"2012", "2020"}, {},
       "不能为本机的AutoCAD 2012、2020安装。\n\n请改用64位 AutoCAD版", 0},
      // The 64-bit edition's scan takes only 2007..2010 from Wow6432Node.
      {"32-bit 2012, 64-bit edition", View::Native64, 64, {}, {"2012"},
       "本程序（64位 AutoCAD版）不能为本机的AutoCAD 2012安装。\n\n请改用32位 AutoCAD版的SetUp.exe。", 0},
      // 32-bit Windows has one view: nothing else to find.
      {"no AutoCAD, 32-bit Windows", View::Windows32, 32, {}, {}, "本机未找到AutoCAD 2007-2027", 0},
      {"2010 offered, 32-bit edition", View::Native64, 32, {"2010", "2020"}, {}, "", 2},
      {"32-bit 2010 offered, 64-bit edition", View::Native64, 64, {}, {"2010"}, "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    registry.SetView(View::Native64);
    UseMachine("empty_machine.reg");
    for (const std::string& year : c.x64) AddRelease(std::stoi(year), "C:\\CAD" + year);
    for (const std::string& year : c.x86) {
      ASSERT_TRUE(platform::ImportRegText(registry, "REGEDIT4\n[" + x86 + "R" + year + "\\ACAD-0001:804]\n"
                                                    "\"AcadLocation\"=\"C:\\\\CAD" + year + "\"\n"
                                                    "\"ProductName\"=\"AutoCAD " + year + "\"\n"));
    }
    registry.SetView(c.view);
    registry.writes.clear();
    Run(c.bits, [&](Dlg_Setup&, HeadlessDialog& window) {
      // Told before the user can do anything.
      if (!*c.told) {
        EXPECT_TRUE(window.boxes.empty()) << window.boxes.front().text;
        EXPECT_TRUE(window.IsEnabled(SetupControl::InstallButton));
        return;
      }
      ASSERT_EQ(window.boxes.size(), 1u);
      EXPECT_NE(window.boxes[0].text.find(c.told), std::string::npos) << window.boxes[0].text;
      EXPECT_EQ(window.boxes[0].caption, "V-软件安装");
      EXPECT_EQ(window.boxes[0].type, platform::kMbOk);
      EXPECT_FALSE(window.IsEnabled(SetupControl::InstallButton));
      EXPECT_TRUE(window.IsVisible(SetupControl::FolderField)) << "the selection view stays";
    });
    EXPECT_TRUE(registry.writes.empty());
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
    // The catalogue holds what this edition's scan found, and no more.
    std::size_t catalogued = 0;
    for (const CStringList& folders : setup->acadFolders) catalogued += folders.size();
    EXPECT_EQ(catalogued, c.catalogued);
  }
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

// At each display scale: the dialog opens centred on the work area (kept
// inside it when larger), the label fonts grow with the DPI, and each
// picture is the artwork drawn nearest the scale.
TEST_F(SetupDialogTest, EachDisplayScaleCentresTheDialogAndScalesFontsAndPictures) {
  struct Scale {
    int dpi;
    platform::Rect workArea;
    int titleHeight, editionHeight, logo, menu;
  };
  const Scale scales[] = {
      {96, {0, 0, 1024, 738}, 14, 13, 147, 151},
      {120, {0, 0, 1280, 994}, 18, 16, 1471, 1511},
      {144, {60, 0, 1920, 1080}, 21, 20, 1472, 1512},  // a task bar on the left
      {168, {0, 0, 1920, 1040}, 25, 23, 1472, 1512},   // 175 %: the smaller of 150 and 200
      {192, {0, 40, 1024, 768}, 28, 26, 1473, 1513},   // taller than the area
  };
  AddRelease(2010, "C:\\CAD2010");
  for (const Scale& scale : scales) {
    SCOPED_TRACE(scale.dpi);
    runner.gdi.dpi = scale.dpi;
    runner.workArea = scale.workArea;
    Run(32, [&](Dlg_Setup&, HeadlessDialog& window) {
      const platform::Rect area = scale.workArea, rect = window.WindowRect(0);
      const long baseY = (12 * scale.dpi + 48) / 96;
      EXPECT_EQ(window.BaseUnitY(), baseY);
      EXPECT_GE(rect.Height(), 283 * baseY / 8) << "the template's height in pixels";
      EXPECT_LE(std::labs((rect.left - area.left) - (area.right - rect.right)), 1) << "centred across";
      if (rect.Height() <= area.Height()) {
        EXPECT_LE(std::labs((rect.top - area.top) - (area.bottom - rect.bottom)), 1) << "centred down";
      } else {
        EXPECT_EQ(rect.top, area.top) << "the caption stays on the area";
      }
      window.Paint();
      const platform::HeadlessGraphics& gdi = runner.gdi;
      EXPECT_EQ(gdi.fonts.at(window.painted.at(SetupControl::TitleLabel).font).height, scale.titleHeight);
      EXPECT_EQ(gdi.fonts.at(window.painted.at(SetupControl::EditionLabel).font).height, scale.editionHeight);
      EXPECT_EQ(window.Pictures(), (std::vector<int>{scale.logo, scale.menu}));
      window.Click(SetupControl::CancelButton);
    });
  }
}

// A dialog that places itself while it initialises stays where it put
// itself, as the framework leaves it.
TEST_F(SetupDialogTest, ADialogThatPlacesItselfIsNotCentred) {
  struct PlacedDialog : CDialog {
    PlacedDialog() : CDialog(SetupDialogTemplate()) {}
    bool OnInitDialog() override {
      CDialog::OnInitDialog();
      MoveWindow(10, 20, 300, 200);
      return true;
    }
  } placed;
  placed.UseRunner(runner);
  runner.user = [](HeadlessDialog& window) {
    const platform::Rect rect = window.WindowRect(0);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.Width(), 300);
    window.PressEscape();
  };
  EXPECT_EQ(placed.DoModal(), platform::kIdCancel);
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
  EXPECT_EQ(RunWizard(WizardWorld{engine, files, processes, shell, accounts, runner, lastBrowse, warnHostRunning}),
            SetupExit::Cancelled);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(SetupMessageOwner().target, nullptr);

  // A dialog that cannot be made (no desktop, no template) is an ending of
  // its own, not a cancel.
  struct NoWindow final : platform::DialogRunner {
    int RunModal(const platform::DialogTemplate&, platform::DialogHandler&) override { return -1; }
  } noWindow;
  EXPECT_EQ(RunWizard(WizardWorld{engine, files, processes, shell, accounts, noWindow, lastBrowse, warnHostRunning}),
            SetupExit::NoDialog);
}

}  // namespace
