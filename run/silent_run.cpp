// The silent install's window that is none; see silent_run.h.
#include "run/silent_run.h"

#include <algorithm>

#include "engine/acad_setup.h"
#include "engine/exit_codes.h"
#include "ui/dlg_setup.h"

namespace {

// GDI objects as numbers: nothing is drawn.
class SilentGraphics final : public platform::Graphics {
 public:
  int LogPixelsY() override { return 96; }
  platform::GdiObject CreateSolidBrush(platform::Color) override { return ++next_; }
  platform::GdiObject CreateFont(const platform::FontSpec&) override { return ++next_; }
  bool DeleteObject(platform::GdiObject) override { return true; }

 private:
  platform::GdiObject next_ = 0x1000;
};

class SilentWindow final : public platform::DialogWindow {
 public:
  SilentWindow(const platform::DialogTemplate& dialogTemplate, std::function<int(const std::string&, const std::string&, unsigned)> box)
      : box_(std::move(box)) {
    controls_[0] = Control{dialogTemplate.caption ? dialogTemplate.caption : "", 0, true, true};
    for (int i = 0; i < dialogTemplate.controlCount; ++i) {
      const platform::ControlTemplate& control = dialogTemplate.controls[i];
      if (control.id < 0) continue;
      controls_[control.id] = Control{control.text ? control.text : "", 0, control.visible, true};
    }
  }

  bool HasItem(int id) override { return controls_.count(id) != 0; }
  std::string GetText(int id, platform::TextCodePage) override { return Find(id).text; }
  void SetText(int id, const std::string& text, platform::TextCodePage) override { Find(id).text = text; }
  int GetCheck(int id) override { return Find(id).check; }
  void SetCheck(int id, int state) override { Find(id).check = state; }
  void Show(int id, int command) override { Find(id).visible = command != platform::kSwHide; }
  void Enable(int id, bool enable) override { Find(id).enabled = enable; }
  bool IsVisible(int id) override { return Find(id).visible; }
  bool IsEnabled(int id) override { return Find(id).enabled; }
  platform::Rect WindowRect(int) override { return platform::Rect{0, 0, 0, 0}; }
  platform::Rect ScreenToClient(const platform::Rect& screen) override { return screen; }
  platform::Rect WorkArea() override { return platform::Rect{0, 0, 1024, 768}; }
  void Move(int, const platform::Rect&, bool) override {}
  std::intptr_t Send(int, unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
  bool SetSmallIcon(int) override { return true; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
    return box_(text, caption, type);
  }
  void End(int result) override {
    ended = true;
    result_ = result;
  }
  // The dialog keeps its brush and fonts beyond the window's end, as with
  // the system's graphics: the numbers come from one object for the run.
  platform::Graphics& Gdi() override {
    static SilentGraphics gdi;
    return gdi;
  }

  bool ended = false;
  int Result() const { return result_; }

 private:
  struct Control {
    std::string text;
    int check;
    bool visible, enabled;
  };
  Control& Find(int id) {
    // The dialog only addresses controls of its template; anything else
    // gets a scratch entry rather than undefined behaviour.
    return controls_[id];
  }

  std::map<int, Control> controls_;
  std::function<int(const std::string&, const std::string&, unsigned)> box_;
  int result_ = -1;
};

}  // namespace

SilentDialogRunner::SilentDialogRunner(const SilentRequest& request, bool& warnHostRunning,
                                       std::function<void(unsigned)> pause)
    : request_(request), warnHostRunning_(warnHostRunning), pause_(std::move(pause)) {}

int SilentDialogRunner::RunModal(const platform::DialogTemplate& dialogTemplate, platform::DialogHandler& handler) {
  std::string lastText;
  int retries = 0;
  SilentWindow window(dialogTemplate, [&](const std::string& text, const std::string&, unsigned type) {
    int answer = platform::kIdOk;
    if ((type & 0xF) == platform::kMbAbortRetryIgnore) {
      // The same file again: its retries go on; another file starts anew.
      if (text != lastText) retries = 0;
      lastText = text;
      if (retries < kCopyRetries) {
        ++retries;
        if (pause_) pause_(kRetryPauseMs);
        answer = platform::kIdRetry;
      } else {
        retries = 0;
        lastText.clear();
        answer = platform::kIdIgnore;
      }
    }
    return answer;
  });
  handler.OnWindowInit(window);
  const auto finish = [&](int code) {
    exitCode = code;
    handler.OnWindowGone();
    return platform::kIdCancel;
  };

  // The releases on offer are the boxes the dialog left visible and enabled.
  std::vector<int> offered;
  for (int k = 0; k < kReleaseCount; ++k) {
    const int id = kReleaseBoxIds[static_cast<std::size_t>(k)];
    if (window.HasItem(id) && window.IsVisible(id) && window.IsEnabled(id)) offered.push_back(kFirstYear + k);
  }
  std::vector<int> wanted = request_.allReleases ? offered : request_.years;
  for (const int year : wanted) {
    if (std::find(offered.begin(), offered.end(), year) == offered.end()) missingYears.push_back(year);
  }
  if (!missingYears.empty() || wanted.empty()) return finish(SetupExit::NothingToInstall);
  for (const int year : offered) {
    const int id = kReleaseBoxIds[static_cast<std::size_t>(year - kFirstYear)];
    window.SetCheck(id, std::find(wanted.begin(), wanted.end(), year) != wanted.end() ? 1 : 0);
    handler.OnWindowCommand(id, platform::kBnClicked);
  }
  if (request_.folderGiven) window.SetText(SetupControl::FolderField, request_.folder, platform::TextCodePage::System);

  // Install; AutoCAD running stops the first press, and, when forced, a
  // second press installs as it would for a person.
  for (int press = 0; press < 2 && !window.ended; ++press) {
    const bool warnBefore = warnHostRunning_;
    handler.OnWindowCommand(SetupControl::InstallButton, platform::kBnClicked);
    if (window.ended) break;
    if (window.IsVisible(SetupControl::InstallDone)) {
      handler.OnWindowCommand(SetupControl::InstallDone, platform::kBnClicked);
      break;
    }
    if (warnBefore && !warnHostRunning_) {
      if (request_.force) continue;
      return finish(SetupExit::HostRunning);
    }
    // Refused by a box about the folder (or whose account to serve):
    // nothing was done.
    return finish(SetupExit::BadCommandLine);
  }
  handler.OnWindowGone();
  return window.ended ? window.Result() : platform::kIdCancel;
}
