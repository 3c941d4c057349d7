#pragma once
// A rectangle in pixels as Win32 keeps one (right and bottom outside it),
// as a plain value for the portable rules of the windows.

namespace quorvin {

struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const PixelRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const PixelRect& o) const { return !(*this == o); }
};

}  // namespace quorvin
