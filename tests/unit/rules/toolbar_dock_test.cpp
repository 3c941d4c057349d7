#include "rules/toolbar_dock.h"

#include <gtest/gtest.h>

using namespace quorvin::run;

namespace {

const DockRect kClient{0, 0, 600, 400};

}  // namespace

TEST(ToolbarDock, DropPointsNearAnEdgeDockThereAndOthersFloat) {
    EXPECT_EQ(DockSideAt(kClient, {300, 5}, 20), DockSide::Top);
    EXPECT_EQ(DockSideAt(kClient, {300, -15}, 20), DockSide::Top);  // just above, on the menu bar
    EXPECT_EQ(DockSideAt(kClient, {300, 390}, 20), DockSide::Bottom);
    EXPECT_EQ(DockSideAt(kClient, {300, 419}, 20), DockSide::Bottom);
    EXPECT_EQ(DockSideAt(kClient, {3, 200}, 20), DockSide::Left);
    EXPECT_EQ(DockSideAt(kClient, {612, 200}, 20), DockSide::Right);
    EXPECT_EQ(DockSideAt(kClient, {300, 200}, 20), DockSide::Floating);
    EXPECT_EQ(DockSideAt(kClient, {300, 21}, 20), DockSide::Floating);
    EXPECT_EQ(DockSideAt(kClient, {300, -21}, 20), DockSide::Floating);  // too far outside
    EXPECT_EQ(DockSideAt(kClient, {-30, 200}, 20), DockSide::Floating);
    // In a corner the nearer edge wins, an equal distance the top, then the bottom, then the left.
    EXPECT_EQ(DockSideAt(kClient, {2, 10}, 20), DockSide::Left);
    EXPECT_EQ(DockSideAt(kClient, {10, 2}, 20), DockSide::Top);
    EXPECT_EQ(DockSideAt(kClient, {5, 5}, 20), DockSide::Top);
    EXPECT_EQ(DockSideAt(kClient, {595, 395}, 20), DockSide::Bottom);
    EXPECT_EQ(DockSideAt(kClient, {5, 395}, 20), DockSide::Bottom);
    // Coordinates need not start at zero (screen coordinates of the client area).
    const DockRect screen{100, 200, 700, 600};
    EXPECT_EQ(DockSideAt(screen, {105, 400}, 20), DockSide::Left);
    EXPECT_EQ(DockSideAt(screen, {5, 400}, 20), DockSide::Floating);
    EXPECT_EQ(DockSideAt(screen, {400, 590}, 20), DockSide::Bottom);
    EXPECT_TRUE(IsUpright(DockSide::Left));
    EXPECT_TRUE(IsUpright(DockSide::Right));
    EXPECT_FALSE(IsUpright(DockSide::Top));
    EXPECT_FALSE(IsUpright(DockSide::Bottom));
    EXPECT_FALSE(IsUpright(DockSide::Floating));
}

TEST(ToolbarDock, PanesAndStatusBarLieAroundTheDockedBar) {
    const FrameLayout top = LayOutFrame(kClient, DockSide::Top, true, 40, 20);
    EXPECT_EQ(top.bar, (DockRect{0, 0, 600, 40}));
    EXPECT_EQ(top.panes, (DockRect{0, 40, 600, 380}));
    EXPECT_EQ(top.status, (DockRect{0, 380, 600, 400}));

    const FrameLayout bottom = LayOutFrame(kClient, DockSide::Bottom, true, 40, 20);
    EXPECT_EQ(bottom.bar, (DockRect{0, 340, 600, 380}));  // above the status bar
    EXPECT_EQ(bottom.panes, (DockRect{0, 0, 600, 340}));
    EXPECT_EQ(bottom.status, (DockRect{0, 380, 600, 400}));

    const FrameLayout left = LayOutFrame(kClient, DockSide::Left, true, 60, 20);
    EXPECT_EQ(left.bar, (DockRect{0, 0, 60, 380}));
    EXPECT_EQ(left.panes, (DockRect{60, 0, 600, 380}));

    const FrameLayout right = LayOutFrame(kClient, DockSide::Right, true, 60, 0);
    EXPECT_EQ(right.bar, (DockRect{540, 0, 600, 400}));  // no status bar: down to the bottom
    EXPECT_EQ(right.panes, (DockRect{0, 0, 540, 400}));
    EXPECT_EQ(right.status, DockRect{});

    // Floating or hidden, the bar takes no room.
    for (const FrameLayout& free : {LayOutFrame(kClient, DockSide::Floating, true, 60, 20),
                                    LayOutFrame(kClient, DockSide::Left, false, 60, 20)}) {
        EXPECT_EQ(free.bar, DockRect{});
        EXPECT_EQ(free.panes, (DockRect{0, 0, 600, 380}));
    }
}

TEST(ToolbarDock, TinyWindowsGiveNoNegativeSizes) {
    const FrameLayout squeezed = LayOutFrame({0, 0, 30, 25}, DockSide::Top, true, 40, 20);
    EXPECT_EQ(squeezed.status, (DockRect{0, 5, 30, 25}));
    EXPECT_EQ(squeezed.bar, (DockRect{0, 0, 30, 5}));
    EXPECT_EQ(squeezed.panes, (DockRect{0, 5, 30, 5}));
    const FrameLayout right = LayOutFrame({0, 0, 30, 25}, DockSide::Right, true, 40, 0);
    EXPECT_EQ(right.bar, (DockRect{0, 0, 30, 25}));
    EXPECT_EQ(right.panes.Width(), 0);
    const FrameLayout empty = LayOutFrame({0, 0, 0, 0}, DockSide::Bottom, true, 40, 20);
    EXPECT_GE(empty.panes.Height(), 0);
    EXPECT_GE(empty.bar.Height(), 0);
}

TEST(ToolbarDock, ButtonsWrapIntoRowsOfTheGivenWidth) {
    // Buttons of 50 and separators of 8, as the main window's toolbar has them.
    const std::vector<int> widths = {50, 50, 50, 8, 50, 8, 50, 50, 8, 50, 8, 50};
    const std::vector<bool> separators = {false, false, false, true,  false, true,
                                          false, false, true,  false, true,  false};
    using B = std::vector<bool>;
    // Wide enough: one row.
    EXPECT_EQ(RowBreaks(widths, separators, 1000), B(12, false));
    EXPECT_EQ(RowBreaks(widths, separators, 482), B(12, false));  // exactly the sum
    // Two rows: the seventh button does not fit.
    EXPECT_EQ(RowBreaks(widths, separators, 300),
              (B{false, false, false, false, false, false, true, false, false, false, false, false}));
    // A separator that does not fit ends its row rather than starting the next one.
    EXPECT_EQ(RowBreaks(widths, separators, 150),
              (B{false, false, false, true, false, false, true, false, false, false, true, false}));
    EXPECT_EQ(RowBreaks(widths, separators, 100),
              (B{false, true, false, true, false, true, false, false, true, false, true, false}));
    // Narrower than a button: one button per row, each separator after the button before it.
    EXPECT_EQ(RowBreaks(widths, separators, 1), (B{true, true, false, true, false, true, true, false, true, false,
                                                    true, false}));
    // Without separators every item may start a row; none after the last.
    B column(12, true);
    column.back() = false;
    EXPECT_EQ(RowBreaks(widths, {}, 1), column);
    EXPECT_EQ(RowBreaks(widths, {}, 0), column);
    EXPECT_EQ(RowBreaks({}, {}, 100), B{});
    EXPECT_EQ(RowBreaks({200}, {false}, 100), B{false});
    EXPECT_EQ(RowBreaks({50, 8}, {false, true}, 50), (B{false, false}));  // a last separator ends nothing
}

TEST(ToolbarDock, AnUprightBarHasOneButtonARowAndSeparatorsBetweenRows) {
    using B = std::vector<bool>;
    // The main window's toolbar: three buttons, separator, one, separator, two, separator, one, separator, one.
    const B separators = {false, false, false, true, false, true, false, false, true, false, true, false};
    EXPECT_EQ(ColumnBreaks(separators), (B{true, true, false, true, false, true, true, false, true, false, true,
                                           false}));
    EXPECT_EQ(ColumnBreaks({}), B{});
    EXPECT_EQ(ColumnBreaks({false}), B{false});
    EXPECT_EQ(ColumnBreaks({false, false}), (B{true, false}));
    EXPECT_EQ(ColumnBreaks({true, false}), (B{true, false}));
    EXPECT_EQ(ColumnBreaks({false, true}), (B{false, false}));  // nothing after the last
}
