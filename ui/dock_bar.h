#pragma once
// A bar that holds one control (the toolbar) and can be dragged by its
// gripper, and the small tool window it floats in. Both only report what
// the user did to their host; the host decides where the bar goes.

#include "ui/window.h"

namespace quorvin::ui {

class DockHost {
public:
    virtual ~DockHost() = default;
    // The gripper was dragged and let go at `screen`.
    virtual void GripperDropped(POINT screen) = 0;
    // The floating window: its caption was double-clicked; it was moved by
    // its caption and let go with the cursor at `screen`; its close box.
    virtual void FloatingCaptionDoubleClicked() = 0;
    virtual void FloatingMoved(POINT screen) = 0;
    virtual void FloatingClosed() = 0;
    // The client size the floating window takes for a client `width` the
    // user asks for (its content wrapped to fit).
    virtual SIZE FloatingClientSize(int width) = 0;
};

class DockBar final : public Window {
public:
    // The gripper's thickness, along the bar's leading edge, and the border around the content.
    static constexpr int kGripper = 9;
    static constexpr int kBorder = 2;

    explicit DockBar(DockHost& host) : host_(host) {}

    // A visible child of `parent`; false on failure.
    bool Create(HWND parent, int id);
    // The control the bar holds, laid out in the bar's client area beside the gripper.
    void SetContent(HWND content);
    // Upright: the gripper along the top and the content below it; else on the left.
    void SetUpright(bool upright);
    bool Upright() const { return upright_; }
    // The bar's size around content of `content` pixels.
    SIZE SizeAround(SIZE content) const;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    RECT GripperRect() const;
    void Layout() const;
    void Paint();

    DockHost& host_;
    HWND content_ = nullptr;
    bool upright_ = false;
    bool dragging_ = false;
    POINT dragStart_{};
};

class FloatingWindow final : public Window {
public:
    explicit FloatingWindow(DockHost& host) : host_(host) {}

    // A hidden tool window with a caption and a sizing border, owned by
    // `owner`; false on failure.
    bool Create(HWND owner, std::string_view title);
    // Shows the window with its client area of `client` at `screen` (its top-left corner).
    void ShowAt(POINT screen, SIZE client);
    // Makes `child` fill the client area.
    void SetChild(HWND child) { child_ = child; }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Makes the child fill the client area.
    void FitChild() const;
    // Window size for a client size, with this window's styles.
    SIZE WindowSizeFor(SIZE client) const;

    DockHost& host_;
    HWND child_ = nullptr;
    bool moving_ = false;
};

}  // namespace quorvin::ui
