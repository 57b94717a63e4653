#pragma once
// Beyond the Windows library: what a picture file states about its pixels besides the pixels
// themselves, carried from a loaded picture into the files saved from it, so that a stamped
// copy prints at the size the photograph did.

#include "imaging/ColourProfile.h"
#include "imaging/GdiPlus.h"
#include "imaging/PictureMetadata.h"
#include "imaging/Resolution.h"

#include <QByteArray>
#include <QSize>

#include <memory>
#include <optional>

struct PictureFacts {
    std::optional<Resolution> resolution;
    // EXIF, XMP, IPTC and the colour profile; null when the file holds none.
    std::shared_ptr<const PictureMetadata> metadata;
    // The profile the pixels are in once decoded: the file's RGB one, or sRGB for grey and
    // CMYK pictures converted through theirs. Null for untagged pictures, and for those whose
    // profile is damaged, unsupported or does not fit their pixels (profileRefused).
    std::shared_ptr<const ColourProfile> profile;
    bool profileRefused = false;

    // Read from a whole encoded file; what it does not state stays empty.
    static std::shared_ptr<const PictureFacts> read(const QByteArray& encoded);
    // Gives `to` the facts of `from`, for a bitmap that `from` was drawn into one to one.
    static void carry(const GpImage* from, GpImage* to);
    // Settles the colour of pixels just decoded from a file with these facts: grey pictures
    // with a grey profile are converted to sRGB (CMYK ones already were if cmykConverted);
    // a profile that does not fit the pixels is refused. The facts that then hold.
    static std::shared_ptr<const PictureFacts> settle(std::shared_ptr<const PictureFacts> facts,
                                                      QImage& pixels, bool cmykSource,
                                                      bool cmykConverted);
    // The overlay as it is to be drawn on background (both decoded): converted from its own
    // profile (sRGB when untagged) into the background's, or itself where they agree or the
    // conversion fails. A converted copy lasts until the next call on this thread.
    static GpImage* overlayFor(GpImage* overlay, const GpImage* background);
    // For the screen, which shows sRGB: a bitmap drawn from `picture` (its facts carried) and
    // stamped is converted from the picture's profile to sRGB, so that it looks as the saved
    // copy will in a viewer that reads the profile.
    static void showAsSrgb(GpImage* image, const GpImage* picture);
    // Whether the picture's profile was refused: it is then stamped as an untagged one.
    static bool profileRefusedFor(const GpImage* image);
    // Writes facts into a file that an encoder has just made of pixels of size, the records as
    // kept: what the facts do not state, the file does not state either (no invented
    // resolution). Records that cannot be written are left out; the picture is saved anyway.
    static void writeInto(QByteArray& encoded, const PictureFacts& facts, MetadataKept kept,
                          QSize size);
};
