#pragma once
// Holder of one imaging-library image handle. Records that outlive the statement that makes
// them live in the library's own allocator: ImageRecord::New / ImageRecord::Delete, or an
// ImageRecordPtr that deletes that way.

#include "imaging/GdiPlus.h"

#include <memory>

struct ImageRecord {
    GpImage* hImage = nullptr;

    ImageRecord() = default;
    // Releases the image; the memory is the owner's business.
    ~ImageRecord();
    ImageRecord(const ImageRecord&) = delete;
    ImageRecord& operator=(const ImageRecord&) = delete;

    // An empty record from GdipAlloc; null when memory is exhausted.
    static ImageRecord* New();
    // Releases the image, then returns the memory to GdipFree. Null is allowed.
    static void Delete(ImageRecord* record);

    // The four ways to fill a record. Each releases an image already held first and returns
    // the library's status; a null path gives InvalidParameter. A file's header is read at
    // once, its pixels when they are first needed.
    GpStatus CreateBitmapFromFile(const char* path);
    GpStatus LoadImageFromFile(const char* path);
    GpStatus CreateBitmapFromResource(HINSTANCE instance, int resourceId);
    GpStatus CreateBitmap(INT width, INT height, PixelFormat format);

    // Size in pixels, asked from the library each time; 0 without an image or on failure.
    UINT Width() const;
    UINT Height() const;
};

struct ImageRecordDeleter {
    void operator()(ImageRecord* record) const { ImageRecord::Delete(record); }
};
using ImageRecordPtr = std::unique_ptr<ImageRecord, ImageRecordDeleter>;
