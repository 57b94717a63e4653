#pragma once
// The windowed program's record of a batch: what the user chose, the list of backgrounds still
// to process, the running number, and the two fields through which a run is steered (the
// progress window and the run flag). A run reads the choices once, as a RunSettings, when it
// starts.

#include "types/WinTypes.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <string>

// NOLINTBEGIN(readability-identifier-naming): the fields of the job's flags word keep
// the names the dialogs and their tests use.
// SizeMode values (bits 4-7 of dwFlags).
constexpr DWORD SizeModePixels = 1;
constexpr DWORD SizeModePercent = 2;

constexpr DWORD SizeModeMask = 0x000000F0;
constexpr int SizeModeShift = 4;
constexpr DWORD OverlayAnchorMask = 0x000F0000;
constexpr int OverlayAnchorShift = 16;
// NOLINTEND(readability-identifier-naming)

// The fields of a flags word, and a word made of both fields (other bits zero).
constexpr DWORD SizeModeOf(DWORD flags) {
    return (flags & SizeModeMask) >> SizeModeShift;
}
constexpr DWORD OverlayAnchorOf(DWORD flags) {
    return (flags & OverlayAnchorMask) >> OverlayAnchorShift;
}
constexpr DWORD MakeJobFlags(DWORD sizeMode, DWORD anchor) {
    return ((sizeMode << SizeModeShift) & SizeModeMask) |
           ((anchor << OverlayAnchorShift) & OverlayAnchorMask);
}

struct RunChoices;

// Gives next as number and uses it up; false once the largest number has been used (spent is
// then set: numbers never wrap round to negative ones).
bool TakeRunningNumber(std::int32_t& next, bool& spent, std::int32_t& number);

class CBatchJob {
  public:
    explicit CBatchJob(HWND hProgressWnd = nullptr);
    ~CBatchJob();
    CBatchJob(const CBatchJob&) = delete;
    CBatchJob& operator=(const CBatchJob&) = delete;

    // Appends an owned copy of path (a null path is ignored).
    void AddFile(const char* path);
    // Removes the first path; does nothing on an empty list.
    void PopFile();
    void ClearFiles();

    // Replaces the whole flags word; callers compute it from the old one.
    void SetFlags(DWORD value) { dwFlags = value; }
    DWORD GetSizeMode() const { return SizeModeOf(dwFlags); }
    DWORD GetOverlayAnchor() const { return OverlayAnchorOf(dwFlags); }
    // Replace one field of dwFlags, keeping every other bit.
    void SetSizeMode(DWORD mode) { dwFlags = (dwFlags & ~SizeModeMask) | MakeJobFlags(mode, 0); }
    void SetOverlayAnchor(DWORD anchor) {
        dwFlags = (dwFlags & ~OverlayAnchorMask) | MakeJobFlags(0, anchor);
    }
    // Choosing an overlay of width x height pixels (OverlaySize::OwnOf); the anchor stays.
    void SizeToOverlay(UINT width, UINT height);

    // Relaxed accesses of the run flag: nothing else is published through it.
    bool IsRunning() const { return bRunning.load(std::memory_order_relaxed) != 0; }
    void SetRunning(bool running) { bRunning.store(running ? 1u : 0u, std::memory_order_relaxed); }

    // The choices as they stand now (see RunSettings.h).
    RunChoices Choices() const;

    // Where the overlay goes on the first background of fileList. Decodes its file's header
    // anew; an undecodable file counts as 0 x 0.
    void GetPlacementRect(RECT& rect) const;

    // Encoder whose MIME type is szOutputFormat (exact, case-sensitive): its position in the
    // library's list, or -1 (outputs left unwritten) when there is none.
    int FindOutputEncoder(CLSID& classId) const;
    // That encoder's file extension without the dot, letter case kept ("TIF", "JPG"),
    // terminated within length bytes.
    int GetOutputExtension(char* buffer, int length) const;

    // Uses up the running number and gives it; false once the largest number has been used
    // (numbers never wrap round to negative ones).
    bool TakeSerial(std::int32_t& number);
    // Writes folder/name.ext for the next running number into buffer and uses the number up.
    // A path that does not fit into length bytes with its terminator, or no number left, gives
    // an empty text.
    void MakeOutputPath(char* buffer, int length);
    // The same for a given number, leaving the running number alone.
    void MakeOutputPathFor(std::int32_t number, char* buffer, int length) const;

    HWND hProgressWnd;
    std::atomic<std::uint32_t> bRunning;
    std::list<std::string> fileList;
    char szOverlayPath[MAX_PATH];
    char szOutputDir[MAX_PATH];
    char szOutputFormat[MAX_PATH];
    char szNameTemplate[MAX_PATH];
    std::int32_t nSerial;
    bool bSerialSpent = false; // nSerial is the largest number and has been used
    DWORD dwFlags;
    std::int32_t nSizeX;
    std::int32_t nSizeY;
};
