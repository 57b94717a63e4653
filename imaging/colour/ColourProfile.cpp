#include "imaging/colour/ColourProfile.h"

#include "imaging/colour/CmykTable.h"

#include <QtEndian>

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

struct TransformCloser {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformCloser>;

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// The handle of Little CMS's own sRGB profile, made once (profiles are only read after).
cmsHPROFILE srgb() {
    static const Profile profile = [] {
        cmsSetLogErrorHandler(nullptr); // a damaged profile is refused, not reported on stderr
        return Profile(cmsCreate_sRGBProfile());
    }();
    return profile.get();
}

// Relative colorimetric: colours inside both gamuts (every sRGB colour in a wide-gamut space)
// keep their appearance exactly.
Transform transform(cmsHPROFILE from, cmsUInt32Number inFormat, cmsHPROFILE to,
                    cmsUInt32Number outFormat) {
    return Transform(cmsCreateTransform(from, inFormat, to, outFormat, INTENT_RELATIVE_COLORIMETRIC,
                                        cmsFLAGS_COPY_ALPHA | cmsFLAGS_NOCACHE));
}

// The lcms layout of a QImage format that is converted in place; 0 for others.
cmsUInt32Number layoutOf(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return TYPE_BGRA_8; // 0xAARRGGBB words, little-endian
    case QImage::Format_RGB888:
        return TYPE_RGB_8;
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
        return TYPE_RGBA_16;
    default:
        return 0;
    }
}

// A large picture's rows are shared out among the machine's cores: a transform through a
// colour table (CMYK, an RGB profile that is a table) costs tens of nanoseconds a pixel.
template <class Rows> void inParts(int width, int height, const Rows& rows) {
    constexpr qint64 kPixelsAlone = qint64(1) << 20;
    const int parts = qint64(width) * height < kPixelsAlone
                          ? 1
                          : int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    std::vector<std::thread> helpers;
    for (int part = 1; part < parts; ++part)
        helpers.emplace_back(rows, height * part / parts, height * (part + 1) / parts);
    rows(0, height / parts);
    for (std::thread& helper : helpers)
        helper.join();
}

bool convertRows(void* transform, QImage& pixels) {
    if (transform == nullptr)
        return false;
    // bits() detaches a shared picture once, here; scanLine() would count a detach on every
    // call, from every thread.
    uchar* const first = pixels.bits();
    const qsizetype stride = pixels.bytesPerLine();
    const auto width = cmsUInt32Number(pixels.width());
    inParts(pixels.width(), pixels.height(), [=](int from, int to) {
        for (int y = from; y < to; ++y) {
            uchar* line = first + qsizetype(y) * stride;
            cmsDoTransform(transform, line, line, width);
        }
    });
    return true;
}

// Whether the profile maps a grid of colours as sRGB does, to within one level.
bool mapsAsSrgb(cmsHPROFILE profile) {
    const Transform toSrgb = transform(profile, TYPE_RGB_8, srgb(), TYPE_RGB_8);
    if (!toSrgb)
        return false;
    std::vector<unsigned char> grid;
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17)
                grid.insert(grid.end(), {uchar(r), uchar(g), uchar(b)});
    std::vector<unsigned char> out(grid.size());
    cmsDoTransform(toSrgb.get(), grid.data(), out.data(), cmsUInt32Number(grid.size() / 3));
    for (std::size_t k = 0; k < grid.size(); ++k)
        if (std::abs(int(grid[k]) - int(out[k])) > 1)
            return false;
    return true;
}

std::uint32_t bigEndian32(const QByteArray& bytes, qsizetype at) {
    const auto* d = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return (std::uint32_t(d[0]) << 24) | (std::uint32_t(d[1]) << 16) | (std::uint32_t(d[2]) << 8) |
           std::uint32_t(d[3]);
}

// What Little CMS allocates for a colour table tag before it reads the table's data: a grid
// of outputs per point, at 16 bits each, whatever the file holds. Saturates far above any
// limit.
double tableBytes(const QByteArray& icc, qsizetype at, qsizetype end) {
    if (end - at < 12)
        return 0;
    const QByteArray type = icc.mid(at, 4);
    const auto channels = [&](qsizetype k) { return double(uchar(icc[at + k])); };
    if (type == "mft1" || type == "mft2")
        return std::pow(channels(10), channels(8)) * channels(9) * 2;
    if ((type == "mAB " || type == "mBA ") && end - at >= 32) {
        const qsizetype grid = qsizetype(bigEndian32(icc, at + 24));
        if (grid == 0 || grid > end - at - 16)
            return 0;
        double points = 1;
        for (int k = 0; k < int(channels(8)) && k < 16; ++k)
            points *= double(uchar(icc[at + grid + k]));
        return points * channels(9) * 2;
    }
    return 0;
}

// The most the colour tables of one profile may take once built. A 544-byte profile can declare
// a table of 255 points a side and 15 outputs, which Little CMS allocates (and clears: 500 MB)
// before it finds the data missing; the largest printer profiles take a few megabytes.
constexpr double kMaxTableBytes = 16.0 * 1024 * 1024;
// What the profiles kept for the next pictures may hold in tables at most.
constexpr double kMaxKeptTableBytes = 2 * kMaxTableBytes;

// What the profile's colour tables take once built; more than kMaxTableBytes when it declares
// a table that large, or a tag table that does not fit the profile.
double tablesOf(const QByteArray& icc) {
    if (icc.size() < 132)
        return 0; // too short to hold a tag: Little CMS refuses it by itself
    const std::uint32_t count = bigEndian32(icc, 128);
    if (count > std::uint32_t((icc.size() - 132) / 12))
        return kMaxTableBytes * 2;
    double total = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        const qsizetype entry = 132 + qsizetype(k) * 12;
        const qsizetype offset = qsizetype(bigEndian32(icc, entry + 4));
        const qsizetype size = qsizetype(bigEndian32(icc, entry + 8));
        if (offset >= icc.size())
            continue;
        const qsizetype end = std::min(icc.size(), offset + std::min(size, icc.size()));
        total += tableBytes(icc, offset, end);
    }
    return total;
}

} // namespace

struct ColourProfile::Transforms {
    std::mutex mutex;
    std::map<std::pair<unsigned, unsigned>, Transform> made;
    std::optional<CmykTable> cmyk;
    bool cmykTried = false;
};

ColourProfile::ColourProfile() : m_transforms(std::make_unique<Transforms>()) {}

void* ColourProfile::toSrgbTransform(unsigned layout, unsigned srgbLayout) const {
    std::lock_guard lock(m_transforms->mutex);
    Transform& kept = m_transforms->made[{layout, srgbLayout}];
    if (!kept)
        kept = transform(m_handle, layout, srgb(), srgbLayout);
    return kept.get();
}

const CmykTable* ColourProfile::cmykTable() const {
    if (m_kind != Kind::Cmyk)
        return nullptr;
    void* const to16 = toSrgbTransform(TYPE_CMYK_8_REV, TYPE_RGB_16);
    std::lock_guard lock(m_transforms->mutex);
    if (!m_transforms->cmykTried) {
        m_transforms->cmykTried = true;
        m_transforms->cmyk = CmykTable::of(to16);
    }
    return m_transforms->cmyk ? &*m_transforms->cmyk : nullptr;
}

ColourProfile::~ColourProfile() {
    if (m_handle != nullptr)
        cmsCloseProfile(m_handle);
}

std::shared_ptr<const ColourProfile> ColourProfile::from(const QByteArray& icc) {
    if (icc.isEmpty())
        return nullptr;
    // Most pictures of a run carry one of a few profiles: each is read and judged once.
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const ColourProfile>> known;
    static double knownTables = 0;
    std::lock_guard lock(mutex);
    if (const auto found = known.find(icc); found != known.end())
        return found->second;
    srgb();
    std::shared_ptr<ColourProfile> profile(new ColourProfile);
    const double tables = tablesOf(icc);
    if (tables <= kMaxTableBytes)
        profile->m_handle = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    profile->m_bytes = icc;
    // The header's colour space as a number: a damaged profile can name one that the
    // library's enumeration has no value for, which must not be held in that type.
    const std::uint32_t space = profile->m_handle != nullptr && icc.size() >= 20
                                    ? qFromBigEndian<quint32>(icc.constData() + 16)
                                    : std::uint32_t(cmsSigLabData);
    if (space == std::uint32_t(cmsSigRgbData))
        profile->m_kind = Kind::Rgb;
    else if (space == std::uint32_t(cmsSigGrayData))
        profile->m_kind = Kind::Grey;
    else if (space == std::uint32_t(cmsSigCmykData))
        profile->m_kind = Kind::Cmyk;
    else
        profile = nullptr;
    // A profile Little CMS reads but cannot convert from is as good as damaged.
    if (profile && !Transform(cmsCreateTransform(profile->m_handle,
                                                 profile->m_kind == Kind::Rgb    ? TYPE_RGB_8
                                                 : profile->m_kind == Kind::Grey ? TYPE_GRAY_8
                                                                                 : TYPE_CMYK_8,
                                                 srgb(), TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                                 cmsFLAGS_NOCACHE)))
        profile = nullptr;
    if (profile && profile->m_kind == Kind::Rgb)
        profile->m_srgb = mapsAsSrgb(profile->m_handle);
    if (known.size() >= 16 || knownTables + tables > kMaxKeptTableBytes) {
        known.clear();
        knownTables = 0;
    }
    knownTables += profile ? tables : 0;
    known.emplace(icc, profile);
    return profile;
}

const QByteArray& ColourProfile::srgbBytes() {
    static const QByteArray bytes = [] {
        cmsUInt32Number size = 0;
        cmsSaveProfileToMem(srgb(), nullptr, &size);
        QByteArray out(qsizetype(size), '\0');
        cmsSaveProfileToMem(srgb(), out.data(), &size);
        // The header's creation time (12 bytes at 24) is when this process made the profile:
        // a fixed one keeps copies of the same picture identical from run to run.
        static constexpr char kCreated[12] = {0x07, char(0xE8), 0, 1, 0, 1}; // 2024-01-01
        if (out.size() >= 36)
            out.replace(24, 12, QByteArray(kCreated, 12));
        return out;
    }();
    return bytes;
}

namespace {

// An RGB profile of these primaries and white point with the one curve for every channel,
// saved as a file holds it.
QByteArray rgbProfile(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries,
                      const cmsToneCurve* tone) {
    cmsToneCurve* curves[3] = {const_cast<cmsToneCurve*>(tone), const_cast<cmsToneCurve*>(tone),
                               const_cast<cmsToneCurve*>(tone)};
    const Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0)
        return {};
    QByteArray out(qsizetype(size), '\0');
    if (!cmsSaveProfileToMem(profile.get(), out.data(), &size))
        return {};
    // As for sRGB: the same picture gives the same copy from run to run.
    static constexpr char kCreated[12] = {0x07, char(0xE8), 0, 1, 0, 1};
    if (out.size() >= 36)
        out.replace(24, 12, QByteArray(kCreated, 12));
    return out;
}

} // namespace

QByteArray ColourProfile::describing(const float (&xy)[8], Transfer transfer) {
    const cmsCIExyY white{xy[6], xy[7], 1.0};
    const cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1.0}, {xy[2], xy[3], 1.0}, {xy[4], xy[5], 1.0}};
    // Parametric curves of type 4: y = (a x + b)^g above d, c x below.
    cmsFloat64Number curve[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    int type = 4;
    switch (transfer) {
    case Transfer::Srgb:
        break;
    case Transfer::Bt709:
        curve[0] = 1.0 / 0.45;
        curve[1] = 1.0 / 1.099;
        curve[2] = 0.099 / 1.099;
        curve[3] = 1.0 / 4.5;
        curve[4] = 0.081;
        break;
    case Transfer::Linear:
    case Transfer::Gamma22:
    case Transfer::Gamma28:
        type = 1;
        curve[0] = transfer == Transfer::Linear ? 1.0 : transfer == Transfer::Gamma22 ? 2.2 : 2.8;
        break;
    }
    cmsToneCurve* tone = cmsBuildParametricToneCurve(nullptr, type, curve);
    if (tone == nullptr)
        return {};
    QByteArray made = rgbProfile(white, primaries, tone);
    cmsFreeToneCurve(tone);
    return made;
}

QByteArray ColourProfile::colourOfGrey() const {
    if (m_kind != Kind::Grey)
        return {};
    const auto* tone = static_cast<const cmsToneCurve*>(cmsReadTag(m_handle, cmsSigGrayTRCTag));
    if (tone == nullptr)
        return {};
    // Any primaries do, since only the neutral axis is shown outside the mark: sRGB's, so that
    // the mark's colours convert with the least change.
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    return rgbProfile(white, primaries, tone);
}

bool ColourProfile::toSrgb(QImage& pixels) const {
    switch (m_kind) {
    case Kind::Cmyk: {
        // Four bytes a pixel, Adobe's inverted inks as every CMYK JPEG writer stores them,
        // turned into 0xffRRGGBB words in place.
        const CmykTable* table = cmykTable();
        if (pixels.depth() != 32 || table == nullptr)
            return false;
        uchar* const first = pixels.bits();
        const qsizetype stride = pixels.bytesPerLine();
        const int width = pixels.width();
        inParts(width, pixels.height(),
                [=](int from, int to) { table->convert(first, stride, width, from, to); });
        return true;
    }
    case Kind::Grey: {
        // Through a table of the 256 levels: grey pictures are 8-bit here (16-bit ones are
        // narrowed), palettes of grey pictures are converted entry by entry.
        const Transform grey = transform(m_handle, TYPE_GRAY_8, srgb(), TYPE_BGRA_8);
        if (!grey)
            return false;
        std::vector<unsigned char> levels(256);
        for (int k = 0; k < 256; ++k)
            levels[std::size_t(k)] = uchar(k);
        std::vector<QRgb> table(256, 0);
        cmsDoTransform(grey.get(), levels.data(), table.data(), 256);
        if (pixels.format() == QImage::Format_Indexed8 || pixels.format() == QImage::Format_Mono) {
            QList<QRgb> colours = pixels.colorTable();
            for (QRgb& c : colours)
                c = (table[std::size_t(qGray(c))] & 0xFFFFFFu) | (c & 0xFF000000u);
            pixels.setColorTable(colours);
            return true;
        }
        const QImage levelsImage = pixels.format() == QImage::Format_Grayscale8
                                       ? pixels
                                       : pixels.convertToFormat(QImage::Format_Grayscale8);
        QImage out(pixels.size(), QImage::Format_RGB32);
        if (out.isNull() || levelsImage.isNull())
            return false;
        for (int y = 0; y < out.height(); ++y) {
            const uchar* in = levelsImage.constScanLine(y);
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x)
                line[x] = table[in[x]] | 0xFF000000u;
        }
        pixels = std::move(out);
        return true;
    }
    case Kind::Rgb:
        break;
    }
    if (layoutOf(pixels.format()) == 0)
        pixels = pixels.convertToFormat(pixels.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                 : QImage::Format_RGB32);
    const cmsUInt32Number layout = layoutOf(pixels.format());
    return convertRows(toSrgbTransform(layout, layout), pixels);
}

bool ColourProfile::fromSpace(QImage& pixels, const ColourProfile* from) const {
    if (m_kind != Kind::Rgb || (from != nullptr && from->m_kind != Kind::Rgb))
        return false;
    if (layoutOf(pixels.format()) == 0)
        pixels = pixels.convertToFormat(pixels.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                 : QImage::Format_RGB32);
    const cmsUInt32Number layout = layoutOf(pixels.format());
    const Transform into =
        transform(from != nullptr ? from->m_handle : srgb(), layout, m_handle, layout);
    return !pixels.isNull() && convertRows(into.get(), pixels);
}
