#pragma once
// Beyond the Windows library, which knows nothing of colour profiles: an ICC profile a picture
// carries, read with Little CMS, and the conversions a stamp needs so that the copy looks as
// the photograph did and the mark as it does on an sRGB photograph.

#include <QByteArray>
#include <QImage>

#include <memory>

class CmykTable;

class ColourProfile {
  public:
    enum class Kind { Rgb, Grey, Cmyk };

    ~ColourProfile();
    ColourProfile(const ColourProfile&) = delete;
    ColourProfile& operator=(const ColourProfile&) = delete;

    // The profile stored as icc; null when it is damaged, or of a colour space no picture
    // here is decoded in (Lab, n-colour): such a picture counts as untagged.
    static std::shared_ptr<const ColourProfile> from(const QByteArray& icc);
    // The sRGB profile that converted pictures are tagged with.
    static const QByteArray& srgbBytes();
    // The transfers a coded colour description (a HEIF file's nclx) can name that a profile
    // describes; displays for HDR (PQ, HLG) have none.
    enum class Transfer { Srgb, Bt709, Linear, Gamma22, Gamma28 };
    // An RGB profile of these primaries and white point (CIE x, y: red, green, blue, white)
    // with that transfer, for pictures that name their colours so instead of by a profile;
    // empty when Little CMS cannot make one of them.
    static QByteArray describing(const float (&xy)[8], Transfer transfer);
    // For a grey profile with a tone curve: an RGB profile that shows R = G = B = v as this
    // one shows grey v, for a grey photograph recast in colour; empty for other profiles.
    QByteArray colourOfGrey() const;

    Kind kind() const { return m_kind; }
    const QByteArray& bytes() const { return m_bytes; }
    // An RGB profile that maps every colour as sRGB does (to within one level): pictures in it
    // need no conversion.
    bool isSrgb() const { return m_srgb; }

    // Pixels in this profile's space (RGB, or grey, or CMYK rows as JpegDecoder holds them)
    // converted in place into sRGB. Grey pictures become 32-bit RGB. False when Little CMS
    // cannot convert them (pixels unchanged).
    bool toSrgb(QImage& pixels) const;
    // Pixels in profile `from` (sRGB when null), RGB, converted in place into this RGB profile's
    // space. False when Little CMS cannot convert them.
    bool fromSpace(QImage& pixels, const ColourProfile* from) const;
    // The CMYK table of this CMYK profile, made once, through which toSrgb converts; rows of a
    // picture may be converted through it on threads side by side while others are decoded.
    // Null for other profiles, and when Little CMS gives none.
    const CmykTable* cmykTable() const;

  private:
    struct Transforms;

    ColourProfile();
    // The transform from this profile's space, in layout, to sRGB: made once, kept with the
    // profile (as the profiles are kept for the next pictures) and used from any thread.
    void* toSrgbTransform(unsigned layout, unsigned srgbLayout) const;

    std::unique_ptr<Transforms> m_transforms;
    void* m_handle = nullptr; // cmsHPROFILE
    Kind m_kind = Kind::Rgb;
    QByteArray m_bytes;
    bool m_srgb = false;
};
