#pragma once
// The "Sample" box of the main window: the current background with the overlay stamped on it
// as a run would place it, composed at the background's full size and scaled into the box at
// each paint. Without a background the box shows a placeholder picture.

#include "engine/ImageRecord.h"
#include "types/WinTypes.h"

class CBatchJob;
class CWnd;

class CSamplePreview {
  public:
    CSamplePreview() = default;
    CSamplePreview(const CSamplePreview&) = delete;
    CSamplePreview& operator=(const CSamplePreview&) = delete;

    // Composes the picture of background (null: the placeholder) with job's overlay. A failed
    // drawing is reported in a message box of owner; the preview is then what could be drawn.
    // The placement reads the first background of job's file list, so the list is borrowed
    // and left empty.
    void Rebuild(CWnd& owner, CBatchJob& job, const char* background);
    // Drops the picture; the imaging library must still be running.
    void Release() { m_image.reset(); }

    // Paints the picture into box of the device context; the rest of the box is left alone.
    void Draw(HDC hdc, const RECT& box) const;
    // Null until the first Rebuild and while one is composing.
    const ImageRecord* Image() const { return m_image.get(); }

    // Where a picture of width x height pixels goes in box: a taller picture fills the box's
    // height, any other its width, centred across the rest.
    static RECT FitRect(const RECT& box, UINT width, UINT height);

  private:
    ImageRecordPtr m_image;
};
