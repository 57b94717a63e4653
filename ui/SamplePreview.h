#pragma once
// The "Sample" box of the main window: the current background with the overlay stamped on it
// as a run would place it, scaled into the box at each paint. Without a background the box
// shows a placeholder picture.
//
// The picture is composed off the window's thread (NewestWork): decoding a large photograph,
// or opening a file on a mount that has stopped answering, must never hold up the window. A
// picture larger than the box is reduced while it is decoded, to the size the box shows it at.
// The picture on show stays until the next one is complete; a request made meanwhile replaces
// any that has not started, and a picture finished after a newer request is dropped. A
// picture that takes longer than a moment gives way to "Preparing preview..." until it is
// complete, so that an old picture or the placeholder is not taken for the new one. The
// overlay is decoded once and kept while its file stays as it was.

#include "app/framework/NewestWork.h"
#include "engine/ImageRecord.h"
#include "engine/Placement.h"
#include "types/WinTypes.h"

#include <QObject>
#include <QSize>

#include <memory>
#include <string>
#include <vector>

class CBatchJob;
class CWnd;

class CSamplePreview {
  public:
    CSamplePreview();
    ~CSamplePreview();
    CSamplePreview(const CSamplePreview&) = delete;
    CSamplePreview& operator=(const CSamplePreview&) = delete;

    // Starts composing the picture of background (null: the placeholder) with job's overlay,
    // reduced to fit shownSize (device pixels) when larger. The job is read now and not kept.
    // Once the picture is complete, owner's thread takes it (TakeFinished), reports each
    // failed drawing in a message box of owner and repaints owner.
    void Rebuild(CWnd& owner, const CBatchJob& job, const char* background, QSize shownSize);
    // Whether a picture is being composed or waits to be taken.
    bool Busy() const;
    // On owner's thread: waits up to milliseconds for the pictures requested so far and takes
    // the last; FALSE when they are not complete by then.
    BOOL Finish(DWORD milliseconds);
    // Drops the picture and waits for the composing thread; the imaging library must still be
    // running. A thread stuck on a file that never answers is left behind after a bounded
    // wait (FALSE): it then still uses the imaging library.
    BOOL Release();

    // Paints the picture into box of the device context; the rest of the box is left alone.
    void Draw(HDC hdc, const RECT& box) const;
    // Null until the first picture is complete.
    const ImageRecord* Image() const { return m_image.get(); }

    // Where a picture of width x height pixels goes in box: a taller picture fills the box's
    // height, any other its width, centred across the rest.
    static RECT FitRect(const RECT& box, UINT width, UINT height);
    // Pictures of up to this many pixels are composed at their own size; larger ones are
    // reduced (16 MB of 32-bit pixels).
    static constexpr std::uint64_t kFullSizePixels = std::uint64_t{4} * 1024 * 1024;
    // The size a picture of width x height is composed at for a box of shown device pixels.
    static QSize ComposedSize(UINT width, UINT height, QSize shown);

    // How long Release waits for a picture being composed.
    static constexpr DWORD kReleaseWaitMs = 15 * 1000;
    // How long a picture may take before the box says it is being prepared: quick ones come
    // without a flash of text.
    static constexpr int kBusyDelayMs = 250;

  private:
    struct Request {
        std::string background; // empty: the placeholder
        bool placeholder;
        std::string overlay;
        PlacementSettings placement;
        QSize shown;
    };
    struct Result {
        ImageRecordPtr image;
        std::vector<GpStatus> failures;
        std::string caption; // the overlay path, for the failure messages
    };
    struct Overlays;
    static Result Compose(const Request& request, Overlays& overlays);
    // On owner's thread: the newest complete picture replaces the one on show.
    void Show(Result& result);
    // On owner's thread, a moment after request number: the text instead of the picture, if
    // that request is still being composed.
    void ShowBusy(std::uint64_t number);

    ImageRecordPtr m_image;
    bool m_showBusy = false;
    CWnd* m_owner = nullptr;
    // The decoded overlay, for the composing thread only.
    std::shared_ptr<Overlays> m_overlays;
    // The context of the "Preparing preview..." timers; gone with the preview.
    QObject m_timers;
    // Last: it is released before the members its answers reach.
    NewestWork m_work;
};
