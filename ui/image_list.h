#pragma once
// An image list the program owns: destroyed with the object.

#include "ui/window.h"

namespace quorvin::ui {

class ImageList {
public:
    ImageList() = default;
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;
    ~ImageList() { Destroy(); }

    // A masked list of `width` x `height` images with room for `initial`
    // and growing by `grow`; false on failure.
    bool Create(int width, int height, int initial, int grow);
    // Adds the images of bitmap resource `bitmapId`, `transparent` taken as
    // see-through; false when the bitmap is missing or was refused.
    bool AddBitmap(int bitmapId, COLORREF transparent);
    void Destroy();

    HIMAGELIST Handle() const { return list_; }
    int Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }

private:
    HIMAGELIST list_ = nullptr;
};

}  // namespace quorvin::ui
