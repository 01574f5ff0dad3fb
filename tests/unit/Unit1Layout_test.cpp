#include "updater/Unit1Layout.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using qx::layout::ControlKind;
using qx::layout::ControlLayout;
using qx::layout::kControls;

bool TakesFocus(const ControlLayout& control) {
    return control.kind != ControlKind::Label && control.kind != ControlKind::ProgressBar;
}

bool HasStoredSize(const ControlLayout& control) {
    return control.width != 0 && control.height != 0;
}

bool Overlap(const ControlLayout& a, const ControlLayout& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

// The creation order is the order of the children and so the tab order.
TEST(Unit1LayoutTest, ControlsThatTakeTheFocusComeFirstInTabOrder) {
    std::vector<std::string> focusable;
    std::size_t lastFocusable = 0;
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        if (TakesFocus(kControls[i])) {
            focusable.emplace_back(kControls[i].name);
            lastFocusable = i;
        }
    }
    EXPECT_EQ(focusable, (std::vector<std::string>{"Button3", "Edit1", "Memo2", "ErrLogMemo"}));
    EXPECT_EQ(lastFocusable, focusable.size() - 1);
}

TEST(Unit1LayoutTest, IdsAndNamesAreUnique) {
    std::set<int> ids;
    std::set<std::string> names;
    for (const ControlLayout& control : kControls) {
        EXPECT_TRUE(ids.insert(control.id).second) << control.name;
        EXPECT_TRUE(names.insert(control.name).second) << control.name;
    }
}

TEST(Unit1LayoutTest, SizedControlsLieInsideTheClientAreaWithoutOverlapping) {
    for (const ControlLayout& control : kControls) {
        if (!HasStoredSize(control))
            continue;
        EXPECT_GE(control.left, 0) << control.name;
        EXPECT_GE(control.top, 0) << control.name;
        EXPECT_LE(control.left + control.width, qx::layout::kClientWidth) << control.name;
        EXPECT_LE(control.top + control.height, qx::layout::kClientHeight) << control.name;
        for (const ControlLayout& other : kControls) {
            if (&other != &control && HasStoredSize(other)) {
                EXPECT_FALSE(Overlap(control, other)) << control.name << " and " << other.name;
            }
        }
    }
}

} // namespace
