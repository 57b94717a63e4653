#pragma once
// Beyond the Windows library: a picture file's camera and ownership records (EXIF, XMP, IPTC)
// and its colour profile, read with exiv2 and written into the files saved from the picture.

#include "imaging/metadata/Resolution.h"

#include <QByteArray>
#include <QSize>

#include <memory>
#include <optional>

// What a saved file keeps of its picture's records. Default: everything but the GPS position
// (pictures are stamped to be published), embedded thumbnails and previews, and maker notes
// (they can hold a preview of the unmarked picture). All: GPS as well. None: no records.
enum class MetadataKept { Default, All, None };

class PictureMetadata {
  public:
    PictureMetadata();
    ~PictureMetadata();
    PictureMetadata(const PictureMetadata&) = delete;
    PictureMetadata& operator=(const PictureMetadata&) = delete;

    // The records of a whole encoded file; null when it holds none or they cannot be read
    // (a damaged record never stops a picture). A damaged colour profile is left out, the
    // other records kept, and profileDamaged (optional) set.
    static std::shared_ptr<const PictureMetadata> read(const QByteArray& encoded,
                                                       bool* profileDamaged = nullptr);

    // The records of a file whose container exiv2 does not read reliably (HEIF), from its EXIF
    // (a TIFF structure) and XMP packet as the container's own reader found them; null when
    // neither holds a record.
    static std::shared_ptr<const PictureMetadata> fromBlocks(const QByteArray& exif,
                                                             const QByteArray& xmp);

    // EXIF X/YResolution in inches or centimetres, if stated.
    std::optional<Resolution> resolution() const;
    // The embedded ICC profile as stored; empty without one.
    const QByteArray& iccProfile() const { return m_iccProfile; }

    // Writes records (optional: none) as kept, and profile (empty: none), into a file an encoder
    // has just made of pixels of size: the orientation becomes 1 (the pixels are upright) and
    // stated pixel dimensions become size. False when the container takes no records (BMP) or
    // writing fails: encoded is then unchanged, or empty if the rewritten file could not be
    // read back from exiv2.
    static bool writeInto(QByteArray& encoded, const PictureMetadata* records, MetadataKept kept,
                          const QByteArray& profile, QSize size);

    // The EXIF (a TIFF structure) and XMP (a packet) that a copy of pixels of size keeps of
    // records, as writeInto would write them, for encoders that write records themselves. IPTC
    // has no place in those files; what cannot be encoded is left empty.
    struct Blocks {
        QByteArray exif;
        QByteArray xmp;
    };
    static Blocks blocksOf(const PictureMetadata* records, MetadataKept kept, QSize size);

  private:
    struct Records;
    static Records keptOf(const Records& records, MetadataKept kept, QSize size);
    std::unique_ptr<Records> m_records;
    QByteArray m_iccProfile;
};
