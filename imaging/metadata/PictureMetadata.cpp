#include "imaging/metadata/PictureMetadata.h"

#include "imaging/metadata/JpegProfileChunks.h"

#include <exiv2/exiv2.hpp>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

// exiv2 0.27 hands images and streams out as std::auto_ptr, which clang reports as deprecated
// at every mention; this file is where they are used, as exiv2's interface requires.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

struct PictureMetadata::Records {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
};

namespace {

// exiv2's XMP toolkit is not thread-safe: it is set up once, and takes this lock around its
// work, as pictures are read and saved on several threads at once.
std::mutex g_xmpToolkit;
void lockXmpToolkit(void*, bool lock) {
    if (lock)
        g_xmpToolkit.lock();
    else
        g_xmpToolkit.unlock();
}

// exiv2's warnings about damaged records are not the user's business: the picture is stamped
// either way.
void startExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // HEIF, AVIF and JPEG XL files: their records are read as those of other pictures.
        Exiv2::enableBMFF(true);
        Exiv2::XmpParser::initialize(lockXmpToolkit, nullptr);
    });
}

Exiv2::Image::AutoPtr open(const QByteArray& encoded) {
    startExiv2();
    // Read in place: a MemIo copies the bytes only once they are written to.
    Exiv2::BasicIo::AutoPtr io(new Exiv2::MemIo(
        reinterpret_cast<const Exiv2::byte*>(encoded.constData()), long(encoded.size())));
    return Exiv2::ImageFactory::open(io);
}

// Tags of the first directory that describe the stored pixels of the file they came from
// (layout, compression, strips, tiles, embedded thumbnail), or hold records kept elsewhere
// (XMP, IPTC, the colour profile, Photoshop resources with their preview). A file written anew
// states its own.
bool describesStoredPixels(std::uint16_t tag) {
    static constexpr std::uint16_t kTags[] = {
        0x00FE, 0x00FF, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x0108, 0x0109,
        0x010A, 0x0111, 0x0115, 0x0116, 0x0117, 0x0118, 0x0119, 0x011C, 0x0122, 0x0123,
        0x0124, 0x0125, 0x013D, 0x0140, 0x0142, 0x0143, 0x0144, 0x0145, 0x014A, 0x0152,
        0x0153, 0x0201, 0x0202, 0x0211, 0x0212, 0x0213, 0x02BC, 0x83BB, 0x8649, 0x8773};
    return std::find(std::begin(kTags), std::end(kTags), tag) != std::end(kTags);
}

bool dropped(const Exiv2::Exifdatum& datum, MetadataKept kept) {
    const std::string group = datum.groupName();
    if (group == "GPSInfo" || datum.key() == "Exif.Image.GPSTag")
        return kept != MetadataKept::All;
    // Thumbnails and previews: the second directory, sub-images, and the directories that
    // raw files keep their previews in.
    const bool preview = group == "Thumbnail" || group.rfind("SubImage", 0) == 0 ||
                         group.rfind("SubThumb", 0) == 0 ||
                         (group.size() == 6 && group.rfind("Image", 0) == 0 && group[5] > '1');
    const bool makerNote = Exiv2::ExifTags::isMakerGroup(group) || group == "MakerNote" ||
                           datum.key() == "Exif.Photo.MakerNote";
    return preview || makerNote || (group == "Image" && describesStoredPixels(datum.tag()));
}

// One step of an XMP key's path ("Xmp.exif.GPSLatitude", "Xmp.xmpMM.Pantry[1]/exif:GPSLatitude"):
// its namespace prefix and the property's own name, without index or qualifier.
struct XmpStep {
    std::string prefix;
    std::string name;
};

std::vector<XmpStep> stepsOf(const std::string& key) {
    std::vector<XmpStep> steps;
    std::size_t at = 0;
    while (at <= key.size()) {
        std::size_t end = key.find('/', at);
        if (end == std::string::npos)
            end = key.size();
        std::string step = key.substr(at, end - at);
        step = step.substr(0, step.find('['));
        if (!step.empty() && step[0] == '?')
            step.erase(0, 1); // a qualifier
        // The first step reads "Xmp.prefix.Name", the others "prefix:Name".
        const std::size_t cut = steps.empty() ? step.rfind('.') : step.find(':');
        if (cut != std::string::npos) {
            std::string prefix = step.substr(0, cut);
            if (steps.empty() && prefix.rfind("Xmp.", 0) == 0)
                prefix.erase(0, 4);
            steps.push_back({prefix, step.substr(cut + 1)});
        }
        at = end + 1;
    }
    return steps;
}

// Where cameras, phones, drones and editors put a position: GPS properties of any namespace
// (exif:GPSLatitude, drone-dji:GPSLongitude, ...) at any depth (inside xmpMM:Pantry or
// xmpMM:History too), a drone's altitude, and the IPTC structures of the place shown or where
// the picture was taken.
bool isLocation(const XmpStep& step) {
    return step.name.rfind("GPS", 0) == 0 || step.name == "AbsoluteAltitude" ||
           step.name == "LocationShown" || step.name == "LocationCreated";
}

// Pictures of the unmarked photograph that XMP carries: thumbnails, Google's embedded image
// and depth map.
bool isPicture(const XmpStep& step) {
    return step.name == "Thumbnails" || step.prefix == "xmpGImg" || step.prefix == "GImage" ||
           step.prefix == "GDepth";
}

// A text that is a JPEG or PNG file in base64, wherever it is stored.
bool holdsEncodedPicture(const Exiv2::Xmpdatum& datum) {
    if (datum.typeId() != Exiv2::xmpText || datum.size() < 64)
        return false;
    const std::string text = datum.toString();
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    return start != std::string::npos &&
           (text.compare(start, 4, "/9j/") == 0 || text.compare(start, 11, "iVBORw0KGgo") == 0);
}

bool droppedXmp(const Exiv2::Xmpdatum& datum, MetadataKept kept) {
    const std::vector<XmpStep> steps = stepsOf(datum.key());
    if (std::any_of(steps.begin(), steps.end(), isPicture) || holdsEncodedPicture(datum))
        return true;
    return kept != MetadataKept::All && std::any_of(steps.begin(), steps.end(), isLocation);
}

// The IPTC preview of the photograph (dataset 2:202 and its format and version).
bool droppedIptc(const Exiv2::Iptcdatum& datum) {
    return datum.record() == Exiv2::IptcDataSets::application2 && datum.tag() >= 200 &&
           datum.tag() <= 202;
}

// A simple WebP (one VP8 or VP8L chunk) made extended: exiv2 0.27 writes a colour profile into
// a simple file under the wrong chunk name, and into an extended one correctly.
void makeExtendedWebP(QByteArray& webp, QSize size) {
    const auto* d = reinterpret_cast<const unsigned char*>(webp.constData());
    if (webp.size() < 30 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WEBP", 4) != 0)
        return;
    const bool lossless = std::memcmp(d + 12, "VP8L", 4) == 0;
    if (!lossless && std::memcmp(d + 12, "VP8 ", 4) != 0)
        return;
    // A lossless picture's header tells whether it uses alpha (bit 28 after the signature).
    const bool alpha = lossless && (d[24] & 0x10) != 0;
    QByteArray header("VP8X\x0A\0\0\0", 8);
    header.append(char(alpha ? 0x10 : 0));
    header.append(QByteArray(3, '\0'));
    for (const int side : {size.width() - 1, size.height() - 1})
        for (int k = 0; k < 3; ++k)
            header.append(char((side >> (8 * k)) & 0xFF));
    webp.insert(12, header);
    const auto riff = std::uint32_t(webp.size() - 8);
    for (int k = 0; k < 4; ++k)
        webp[4 + k] = char((riff >> (8 * k)) & 0xFF);
}

bool isPng(const QByteArray& file) {
    return file.startsWith("\x89PNG\r\n\x1A\n");
}

// exiv2 0.27 names a PNG's profile with an empty keyword, which libpng refuses (viewers then
// show the picture untagged): the chunk is written here, right after the header chunk.
bool insertPngProfile(QByteArray& png, const QByteArray& profile) {
    uLongf packedSize = compressBound(uLong(profile.size()));
    QByteArray packed(qsizetype(packedSize), Qt::Uninitialized);
    if (png.size() < 33 || compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                                     reinterpret_cast<const Bytef*>(profile.constData()),
                                     uLong(profile.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        return false;
    packed.truncate(qsizetype(packedSize));
    const QByteArray body = QByteArray("iCCPICC profile\0\0", 17) + packed;
    const auto put32 = [](QByteArray& out, std::uint32_t value) {
        for (int k = 3; k >= 0; --k)
            out.append(char((value >> (8 * k)) & 0xFF));
    };
    QByteArray chunk;
    put32(chunk, std::uint32_t(body.size() - 4));
    chunk += body;
    put32(chunk, std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.constData()),
                                     uInt(body.size()))));
    png.insert(33, chunk);
    return true;
}

template <class Data, class Key>
void setIfPresent(Data& data, const char* key, std::uint32_t value) {
    const auto found = data.findKey(Key(key));
    if (found != data.end())
        found->setValue(std::to_string(value));
}

} // namespace

PictureMetadata::PictureMetadata() = default;
PictureMetadata::~PictureMetadata() = default;

std::shared_ptr<const PictureMetadata> PictureMetadata::read(const QByteArray& encoded,
                                                             bool* profileDamaged) {
    const bool damagedChunks = JpegProfileChunks::damaged(encoded);
    if (profileDamaged != nullptr)
        *profileDamaged = damagedChunks;
    // exiv2 reads in place: the bytes must outlive the image.
    const QByteArray read = damagedChunks ? JpegProfileChunks::withoutProfile(encoded) : encoded;
    try {
        Exiv2::Image::AutoPtr image = open(read);
        if (image.get() == nullptr)
            return nullptr;
        image->readMetadata();
        auto metadata = std::make_shared<PictureMetadata>();
        metadata->m_records = std::make_unique<Records>();
        metadata->m_records->exif = image->exifData();
        metadata->m_records->xmp = image->xmpData();
        metadata->m_records->iptc = image->iptcData();
        const Exiv2::DataBuf* profile = image->iccProfile();
        if (profile != nullptr && profile->size_ > 0)
            metadata->m_iccProfile =
                QByteArray(reinterpret_cast<const char*>(profile->pData_), profile->size_);
        const Records& r = *metadata->m_records;
        if (r.exif.empty() && r.xmp.empty() && r.iptc.empty() && metadata->m_iccProfile.isEmpty())
            return nullptr;
        return metadata;
    } catch (const std::exception&) {
        return nullptr; // exiv2's errors derive from std::exception
    }
}

std::shared_ptr<const PictureMetadata> PictureMetadata::fromBlocks(const QByteArray& exif,
                                                                   const QByteArray& xmp) {
    startExiv2();
    auto metadata = std::make_shared<PictureMetadata>();
    metadata->m_records = std::make_unique<Records>();
    Records& r = *metadata->m_records;
    try {
        if (!exif.isEmpty())
            Exiv2::ExifParser::decode(r.exif,
                                      reinterpret_cast<const Exiv2::byte*>(exif.constData()),
                                      std::uint32_t(exif.size()));
        if (!xmp.isEmpty() && Exiv2::XmpParser::decode(r.xmp, xmp.toStdString()) != 0)
            r.xmp.clear();
    } catch (const std::exception&) {
        return nullptr; // a damaged record never stops a picture
    }
    if (r.exif.empty() && r.xmp.empty())
        return nullptr;
    return metadata;
}

std::optional<Resolution> PictureMetadata::resolution() const {
    const Exiv2::ExifData& exif = m_records->exif;
    const auto x = exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution"));
    const auto y = exif.findKey(Exiv2::ExifKey("Exif.Image.YResolution"));
    if (x == exif.end() || y == exif.end() || x->count() == 0 || y->count() == 0)
        return std::nullopt;
    const auto unitAt = exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
    const long unit = unitAt != exif.end() && unitAt->count() > 0 ? unitAt->toLong() : 2;
    const Resolution r{unit == 3 ? Resolution::Unit::Centimetre : Resolution::Unit::Inch,
                       double(x->toFloat()), double(y->toFloat())};
    if ((unit != 2 && unit != 3) || !(r.x > 0 && r.y > 0 && r.x < 1e6 && r.y < 1e6))
        return std::nullopt;
    return r;
}

// What a copy of pixels of size keeps of records: the pixels are upright and of the stamped
// copy's size.
PictureMetadata::Records PictureMetadata::keptOf(const Records& records, MetadataKept kept,
                                                 QSize size) {
    Records out;
    out.exif = records.exif;
    for (auto it = out.exif.begin(); it != out.exif.end();)
        it = dropped(*it, kept) ? out.exif.erase(it) : std::next(it);
    out.xmp = records.xmp;
    for (auto it = out.xmp.begin(); it != out.xmp.end();)
        it = droppedXmp(*it, kept) ? out.xmp.erase(it) : std::next(it);
    out.iptc = records.iptc;
    for (auto it = out.iptc.begin(); it != out.iptc.end();)
        it = droppedIptc(*it) ? out.iptc.erase(it) : std::next(it);
    using Exiv2::ExifKey;
    using Exiv2::XmpKey;
    setIfPresent<Exiv2::ExifData, ExifKey>(out.exif, "Exif.Image.Orientation", 1);
    setIfPresent<Exiv2::XmpData, XmpKey>(out.xmp, "Xmp.tiff.Orientation", 1);
    const auto width = std::uint32_t(size.width());
    const auto height = std::uint32_t(size.height());
    setIfPresent<Exiv2::ExifData, ExifKey>(out.exif, "Exif.Photo.PixelXDimension", width);
    setIfPresent<Exiv2::ExifData, ExifKey>(out.exif, "Exif.Photo.PixelYDimension", height);
    setIfPresent<Exiv2::XmpData, XmpKey>(out.xmp, "Xmp.exif.PixelXDimension", width);
    setIfPresent<Exiv2::XmpData, XmpKey>(out.xmp, "Xmp.exif.PixelYDimension", height);
    setIfPresent<Exiv2::XmpData, XmpKey>(out.xmp, "Xmp.tiff.ImageWidth", width);
    setIfPresent<Exiv2::XmpData, XmpKey>(out.xmp, "Xmp.tiff.ImageLength", height);
    return out;
}

PictureMetadata::Blocks PictureMetadata::blocksOf(const PictureMetadata* records, MetadataKept kept,
                                                  QSize size) {
    Blocks blocks;
    if (records == nullptr || kept == MetadataKept::None)
        return blocks;
    try {
        const Records out = keptOf(*records->m_records, kept, size);
        if (!out.exif.empty()) {
            Exiv2::Blob tiff;
            Exiv2::ExifParser::encode(tiff, Exiv2::littleEndian, out.exif);
            blocks.exif =
                QByteArray(reinterpret_cast<const char*>(tiff.data()), qsizetype(tiff.size()));
        }
        std::string packet;
        if (!out.xmp.empty() && Exiv2::XmpParser::encode(packet, out.xmp) == 0)
            blocks.xmp = QByteArray::fromStdString(packet);
    } catch (const std::exception&) {
        return {}; // records that cannot be written are left out, the picture saved
    }
    return blocks;
}

bool PictureMetadata::writeInto(QByteArray& encoded, const PictureMetadata* records,
                                MetadataKept kept, const QByteArray& profile, QSize size) {
    if (kept == MetadataKept::None)
        records = nullptr;
    if (records == nullptr && profile.isEmpty())
        return true;
    if (isPng(encoded) && !profile.isEmpty()) {
        QByteArray tagged = encoded;
        if (!insertPngProfile(tagged, profile) ||
            !writeInto(tagged, records, kept, QByteArray(), size))
            return false;
        encoded = std::move(tagged);
        return true;
    }
    QByteArray extended = encoded;
    makeExtendedWebP(extended, size);
    try {
        Exiv2::Image::AutoPtr image = open(extended);
        if (image.get() == nullptr || image->checkMode(Exiv2::mdExif) != Exiv2::amReadWrite)
            return false;
        image->readMetadata();
        if (records != nullptr) {
            const Records held = keptOf(*records->m_records, kept, size);
            image->setExifData(held.exif);
            image->setXmpData(held.xmp);
            image->setIptcData(held.iptc);
        }
        if (!profile.isEmpty()) {
            Exiv2::DataBuf buffer(reinterpret_cast<const Exiv2::byte*>(profile.constData()),
                                  long(profile.size()));
            image->setIccProfile(buffer, false);
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0 || io.size() <= 0)
            return false;
        // exiv2 now holds the whole new file: the encoder's is let go before the copy is made
        // (a 24 MP TIFF is 72 MB), so that two copies exist at a time, not three.
        encoded = QByteArray();
        extended = QByteArray();
        QByteArray written(qsizetype(io.size()), Qt::Uninitialized);
        const long got =
            io.read(reinterpret_cast<Exiv2::byte*>(written.data()), static_cast<long>(io.size()));
        io.close();
        if (got != long(written.size()))
            return false;
        encoded = std::move(written);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
