#pragma once
// The owner of at most one image read from a file as a bitmap: its header when loaded, its
// pixels when first drawn or saved (or by DecodeNow). Plain local objects of the operation
// that uses them; never shared between threads, except one that DecodeNow has decoded and
// that is only drawn from.

#include "engine/ImageRecord.h"
#include "imaging/GdiPlus.h"

class CImageFile {
  public:
    CImageFile() = default;
    virtual ~CImageFile();
    CImageFile(const CImageFile&) = delete;
    CImageFile& operator=(const CImageFile&) = delete;

    // Opens path (8-bit locale text) into this empty object, reading its header. False,
    // keeping the image, when the object already holds one; false, staying empty, when the
    // path does not convert, the file is missing or unreadable, or it is not a picture the
    // library decodes.
    // status (optional) receives the library's answer.
    bool LoadFromFile(const char* path, GpStatus* status = nullptr);
    void Release();
    bool IsEmpty() const { return m_pRecord == nullptr; }

    // Asked from the library at every call; 0 when empty or when the library fails.
    UINT Width() const;
    UINT Height() const;
    PixelFormat GetPixelFormat() const;

    // Encodes the image with the encoder's defaults; an existing file is replaced. False when
    // empty, when the path does not convert, or when the library reports a failure.
    bool SaveToFile(const char* path, const CLSID& encoder) const;

    // Draws this image and then the sourceRect part of overlay scaled into destRect into a
    // new bitmap of this image's size, which then replaces this image. Indexed, 16-bit grey
    // and 1-bit-alpha backgrounds give 32-bit ARGB; other formats are kept. Where this image
    // already is what that bitmap would hold (see InPlaceDrawing), the overlay is drawn on it
    // directly, with the same result. False, with this object unchanged, when either object is
    // empty or the library fails.
    bool ComposeOverlay(const CImageFile& overlay, const RECT& sourceRect, const RECT& destRect);

    // Before decoding: when the encoder stores 8 bits a sample at most, a 16-bit picture is
    // decoded at 8 bits where its format allows, without a full-depth copy (GetPixelFormat then
    // tells the 8-bit format). Nothing changes for other encoders and pictures.
    void ReduceForEncoder(const CLSID& encoder);

    // Decodes the pixels now; the library otherwise does so at the first draw. A picture that
    // several threads draw from at once must be decoded before, as decoding writes to it.
    // False when empty or when the pixels do not decode.
    bool DecodeNow() const;

    // Decodes the image and multiplies its alpha by percent (RunChoices::opacity), so that it
    // draws at that opacity wherever it is drawn: the overlay of a run is faded once, when it
    // is loaded. 100 changes nothing. False when empty or when the pixels do not decode.
    bool Fade(int percent);

    // The held image handle, or null; owned by this object.
    GpImage* GetImage() const { return m_pRecord != nullptr ? m_pRecord->hImage : nullptr; }

  private:
    ImageRecord* m_pRecord = nullptr;
};
