// The setup dialog's template from res/setup_controls.def.
#include "ui/setup_template.h"

#include "res/setup_resources.h"

namespace {

#define SETUP_SHOWN true
#define SETUP_HIDDEN false
#define SETUP_CONTROL(text, id, cls, style, visibility, x, y, cx, cy) {text, 0, id, cls, style, visibility, x, y, cx, cy},
#define SETUP_PICTURE(bitmap, id, visibility, x, y, cx, cy) \
  {nullptr, bitmap, id, "Static", SETUP_SS_BITMAP, visibility, x, y, cx, cy},

constexpr platform::ControlTemplate kControls[] = {
#include "res/setup_controls.def"
};

#undef SETUP_CONTROL
#undef SETUP_PICTURE
#undef SETUP_SHOWN
#undef SETUP_HIDDEN

static_assert(sizeof(kControls) / sizeof(kControls[0]) == kSetupControlCount, "the dialog has 37 controls");

constexpr platform::DialogTemplate kTemplate = {
    IDD_SETUP,           SETUP_DIALOG_CAPTION,     SETUP_DIALOG_STYLE,        SETUP_DIALOG_EXSTYLE,
    0,                   0,                        283,                       283,
    SETUP_DIALOG_FONT_POINTS, SETUP_DIALOG_FONT_FACE, SETUP_DIALOG_FONT_CHARSET, kControls,
    kSetupControlCount,
};

}  // namespace

const platform::DialogTemplate& SetupDialogTemplate() { return kTemplate; }
