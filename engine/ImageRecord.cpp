#include "engine/ImageRecord.h"

#include "imaging/ImageFileAccess.h"

#include <new>

ImageRecord::~ImageRecord() {
    if (hImage != nullptr)
        GdipDisposeImage(hImage);
}

ImageRecord* ImageRecord::New() {
    void* memory = GdipAlloc(sizeof(ImageRecord));
    if (memory == nullptr)
        return nullptr;
    return new (memory) ImageRecord();
}

void ImageRecord::Delete(ImageRecord* record) {
    if (record == nullptr)
        return;
    record->~ImageRecord();
    GdipFree(record);
}

namespace {

template <class Make> GpStatus Fill(GpImage*& handle, Make make) {
    if (handle != nullptr) {
        GdipDisposeImage(handle);
        handle = nullptr;
    }
    GpImage* made = nullptr;
    const GpStatus status = make(&made);
    if (status == Ok)
        handle = made;
    else if (made != nullptr)
        GdipDisposeImage(made);
    return status;
}

} // namespace

GpStatus ImageRecord::CreateBitmapFromFile(const char* path) {
    return Fill(hImage, [&](GpImage** out) {
        return path != nullptr ? ImageFileAccess::load(path, out) : InvalidParameter;
    });
}

GpStatus ImageRecord::LoadImageFromFile(const char* path) {
    // Every raster file is a bitmap: the two ways are one.
    return CreateBitmapFromFile(path);
}

GpStatus ImageRecord::CreateBitmapFromResource(HINSTANCE instance, int resourceId) {
    return Fill(hImage, [&](GpImage** out) {
        return GdipCreateBitmapFromResource(instance, MAKEINTRESOURCEW(resourceId), out);
    });
}

GpStatus ImageRecord::CreateBitmap(INT width, INT height, PixelFormat format) {
    return Fill(hImage, [&](GpImage** out) {
        return GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, out);
    });
}

UINT ImageRecord::Width() const {
    UINT width = 0;
    if (hImage != nullptr && GdipGetImageWidth(hImage, &width) != Ok)
        width = 0;
    return width;
}

UINT ImageRecord::Height() const {
    UINT height = 0;
    if (hImage != nullptr && GdipGetImageHeight(hImage, &height) != Ok)
        height = 0;
    return height;
}
