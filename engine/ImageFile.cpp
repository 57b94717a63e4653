#include "engine/ImageFile.h"

#include "imaging/ImageFacts.h"

#include "engine/TextHelpers.h"
#include "imaging/ImageFileAccess.h"

CImageFile::~CImageFile() {
    Release();
}

bool CImageFile::LoadFromFile(const char* path, GpStatus* status) {
    GpStatus ignored = Ok;
    GpStatus& answer = status != nullptr ? *status : ignored;
    answer = InvalidParameter;
    if (m_pRecord != nullptr)
        return false;
    ImageRecordPtr record(ImageRecord::New());
    answer = OutOfMemory;
    if (!record)
        return false;
    answer = record->CreateBitmapFromFile(path);
    if (answer != Ok || record->hImage == nullptr)
        return false;
    m_pRecord = record.release();
    return true;
}

void CImageFile::Release() {
    ImageRecord::Delete(m_pRecord);
    m_pRecord = nullptr;
}

UINT CImageFile::Width() const {
    return m_pRecord != nullptr ? m_pRecord->Width() : 0;
}

UINT CImageFile::Height() const {
    return m_pRecord != nullptr ? m_pRecord->Height() : 0;
}

PixelFormat CImageFile::GetPixelFormat() const {
    PixelFormat format = PixelFormatUndefined;
    if (m_pRecord != nullptr && GdipGetImagePixelFormat(m_pRecord->hImage, &format) != Ok)
        format = PixelFormatUndefined;
    return format;
}

void CImageFile::ReduceForEncoder(const CLSID& encoder) {
    if (m_pRecord != nullptr)
        ImageFileAccess::readAtDepthOf(m_pRecord->hImage, encoder);
}

bool CImageFile::SaveToFile(const char* path, const CLSID& encoder) const {
    if (m_pRecord == nullptr)
        return false;
    if (path == nullptr)
        return false;
    return ImageFileAccess::save(m_pRecord->hImage, path, &encoder) == Ok;
}

bool CImageFile::Fade(int percent) {
    return !IsEmpty() && ImageFacts::fade(GetImage(), percent);
}
