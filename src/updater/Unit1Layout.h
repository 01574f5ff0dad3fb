#pragma once

// The stored layout of the window `Form1`: the controls with their positions
// and sizes in pixels of the client area at 96 dots per inch, their texts and
// their control ids. The window is built from it on the build platform; the
// ids are stable so that a program that drives the window from outside can
// find each control.

#include "updater/Texts.h"
#include "version.h"

namespace qx::layout {

inline constexpr int kDesignDpi = 96;
inline constexpr int kClientWidth = 464;
inline constexpr int kClientHeight = 349;
// The character height of the window's font, inherited by every control.
inline constexpr int kFontHeight = 12;

enum class ControlKind {
    Label, // sized to its text unless a width is given
    Edit,  // single line, read-only
    Memo,  // multi-line, read-only, both scroll bars, no word wrap
    ProgressBar,
    Button,
};

enum ControlId : int {
    IdLabel3 = 1001,
    IdLabel5 = 1002,
    IdEdit1 = 1003,
    IdLabel2 = 1004,
    IdMemo2 = 1005,
    IdProgressBar1 = 1006,
    IdLblRecvSize = 1007,
    IdButton3 = 1008,
    IdLabel1 = 1009,
    IdErrLogMemo = 1010,
};

struct ControlLayout {
    const char* name;
    ControlId id;
    ControlKind kind;
    int left;
    int top;
    int width;  // 0: the width of the text
    int height; // 0: the height of the text
    const char* text;
    bool rightAligned;
};

// In tab order first (Button3, Edit1, Memo2, ErrLogMemo), then the controls
// that never take the focus; this is also the order of creation.
inline constexpr ControlLayout kControls[] = {
    {"Button3", IdButton3, ControlKind::Button, 374, 206, 75, 25, texts::kButtonCancel, false},
    {"Edit1", IdEdit1, ControlKind::Edit, 20, 20, 371, 20, "", false},
    {"Memo2", IdMemo2, ControlKind::Memo, 18, 64, 425, 119, "", false},
    {"ErrLogMemo", IdErrLogMemo, ControlKind::Memo, 18, 236, 429, 93, "", false},
    {"Label3", IdLabel3, ControlKind::Label, 10, 6, 0, 0, texts::kLabelInstructionUrl, false},
    {"Label5", IdLabel5, ControlKind::Label, 403, 8, 42, 0, QX_VERSION_LABEL, true},
    {"Label2", IdLabel2, ControlKind::Label, 10, 50, 0, 0, texts::kLabelStatus, false},
    {"ProgressBar1", IdProgressBar1, ControlKind::ProgressBar, 18, 184, 287, 16, "", false},
    {"lblRecvSize", IdLblRecvSize, ControlKind::Label, 312, 186, 0, 0, "", false},
    {"Label1", IdLabel1, ControlKind::Label, 10, 222, 0, 0, texts::kLabelErrorLog, false},
};

// The designed range of ProgressBar1.
inline constexpr int kProgressDesignMax = 100;

} // namespace qx::layout
