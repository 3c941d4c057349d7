#include "ui/image_list.h"

namespace quorvin::ui {

bool ImageList::Create(int width, int height, int initial, int grow) {
    Destroy();
    list_ = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, initial, grow);
    return list_ != nullptr;
}

bool ImageList::AddBitmap(int bitmapId, COLORREF transparent) {
    if (!list_) return false;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(Instance(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return false;
    // The list copies the images: the bitmap is ours to free either way.
    const bool added = ImageList_AddMasked(list_, bitmap, transparent) >= 0;
    return DeleteObject(bitmap) != FALSE && added;
}

void ImageList::Destroy() {
    // A list that cannot be destroyed is lost either way: nothing to do about it.
    if (list_) static_cast<void>(ImageList_Destroy(list_));
    list_ = nullptr;
}

}  // namespace quorvin::ui
