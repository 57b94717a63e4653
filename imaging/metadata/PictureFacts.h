#pragma once
// Beyond the Windows library: what a picture file states about its pixels besides the pixels
// themselves, carried from a loaded picture into the files saved from it, so that a stamped
// copy prints at the size the photograph did.

#include "imaging/colour/ColourProfile.h"
#include "imaging/formats/TiffStripWriter.h"
#include "imaging/jpeg/JpegCoding.h"
#include "imaging/metadata/PictureMetadata.h"
#include "imaging/metadata/Resolution.h"

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
    // A JPEG's tables and sampling, which a JPEG copy keeps (see JpegCoding); none for other
    // files, and for pictures whose pixels are no longer in the file's colours once decoded.
    std::optional<JpegCoding> jpegCoding;
    // The file stored its pixels without loss: a copy in a format that can store them so is
    // lossless too (WebP), rather than adding the format's own loss to a lossless picture.
    bool storedLosslessly = false;
    // A TIFF's compression and predictor, which a TIFF copy keeps; none for other files.
    std::optional<TiffCoding> tiffCoding;

    // Read from a whole encoded file; what it does not state stays empty. turned: the pixels
    // are shown a quarter turn from how the file stores them; lossless and tiff: what the
    // file's structure showed of how it stores its pixels.
    static std::shared_ptr<const PictureFacts> read(const QByteArray& encoded, bool turned = false,
                                                    bool lossless = false,
                                                    std::optional<TiffCoding> tiff = {});
    // Settles the colour of pixels just decoded from a file with these facts: grey pictures
    // with a grey profile are converted to sRGB (CMYK ones already were if cmykConverted);
    // a profile that does not fit the pixels is refused. The facts that then hold.
    static std::shared_ptr<const PictureFacts> settle(std::shared_ptr<const PictureFacts> facts,
                                                      QImage& pixels, bool cmykSource,
                                                      bool cmykConverted);
    // Writes facts into a file that an encoder has just made of pixels of size, the records as
    // kept: what the facts do not state, the file does not state either (no invented
    // resolution). Records that cannot be written are left out; the picture is saved anyway.
    static void writeInto(QByteArray& encoded, const PictureFacts& facts, MetadataKept kept,
                          QSize size);
    // Whether writeInto has records or a profile to write, which needs the whole file in
    // memory; a resolution alone can be set in a TIFF file in place (Resolution::writeTiff).
    bool hasRecordsFor(MetadataKept kept) const {
        return (metadata && kept != MetadataKept::None) || profile;
    }
};
