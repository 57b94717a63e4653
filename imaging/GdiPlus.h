#pragma once
// The program's 2-D imaging library: flat functions with the Windows imaging library's names,
// argument order and status codes, implemented on QtGui.

#include "types/WinTypes.h"

enum GpStatus : int {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};
using Status = GpStatus;

// The flat API's constants and records keep the names of the imaging library it models.
// NOLINTBEGIN(readability-identifier-naming)
using PixelFormat = std::uint32_t;
constexpr PixelFormat PixelFormatUndefined = 0;
constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101;
constexpr PixelFormat PixelFormat4bppIndexed = 0x00030402;
constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
constexpr PixelFormat PixelFormat16bppGrayScale = 0x00101004;
constexpr PixelFormat PixelFormat16bppRGB555 = 0x00021005;
constexpr PixelFormat PixelFormat16bppRGB565 = 0x00021006;
constexpr PixelFormat PixelFormat16bppARGB1555 = 0x00061007;
constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;
constexpr PixelFormat PixelFormat48bppRGB = 0x0010300C;
constexpr PixelFormat PixelFormat64bppARGB = 0x0034400D;
constexpr PixelFormat PixelFormat64bppPARGB = 0x001A400E;

enum ImageType : int { ImageTypeUnknown = 0, ImageTypeBitmap = 1, ImageTypeMetafile = 2 };
enum GpUnit : int { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2 };

struct GpImage; // an image; every image this library makes is a bitmap
using GpBitmap = GpImage;
struct GpGraphics;
struct GpImageAttributes;
struct EncoderParameters;
using DrawImageAbort = BOOL (*)(void*);

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1; // only version 1 is supported
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};

// One record of the encoder list. GdipGetImageEncoders writes the records followed by the
// texts they point to into one caller-allocated buffer.
struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

// Class identifiers of the built-in encoders (our own values), in the order they are listed.
inline constexpr CLSID ClsidBmpEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x01}};
inline constexpr CLSID ClsidJpegEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x02}};
inline constexpr CLSID ClsidTiffEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x03}};
inline constexpr CLSID ClsidPngEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x04}};
inline constexpr CLSID ClsidWebpEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x05}};
inline constexpr CLSID ClsidAvifEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x06}};
inline constexpr CLSID ClsidJxlEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x07}};
inline constexpr CLSID ClsidHeicEncoder{
    0x8d3c61a0, 0x2f4e, 0x4b71, {0x9a, 0x05, 0x6e, 0x21, 0xc4, 0x7b, 0x10, 0x08}};

// Format identifiers reported in the encoder records.
inline constexpr GUID ImageFormatBmp{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x01}};
inline constexpr GUID ImageFormatJpeg{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x02}};
inline constexpr GUID ImageFormatTiff{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x03}};
inline constexpr GUID ImageFormatPng{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x04}};
inline constexpr GUID ImageFormatWebp{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x05}};
inline constexpr GUID ImageFormatAvif{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x06}};
inline constexpr GUID ImageFormatJxl{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x07}};
inline constexpr GUID ImageFormatHeic{
    0x5b7e0c12, 0x93d1, 0x4a6f, {0xb2, 0x48, 0x0c, 0x9e, 0x71, 0x35, 0xd2, 0x08}};

// Flags of an encoder record.
constexpr DWORD ImageCodecFlagsEncoder = 0x00000001;
constexpr DWORD ImageCodecFlagsDecoder = 0x00000002;
constexpr DWORD ImageCodecFlagsSupportBitmap = 0x00000004;
constexpr DWORD ImageCodecFlagsBuiltin = 0x00010000;
// NOLINTEND(readability-identifier-naming)

// Decoded pictures larger than this many pixels are refused from their header, before any
// pixel memory is allocated (decompression bombs). 300 MP covers every camera photo.
constexpr std::uint64_t kMaxImagePixels = 300ull * 1000 * 1000;
// The most that a decoded picture's pixels may take: a picture at the pixel limit in 32-bit
// pixels. Every 8-bit picture fits; deeper ones of more than half the limit do not.
constexpr std::uint64_t kMaxDecodedBytes = kMaxImagePixels * 4;

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                        GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

void* GdipAlloc(std::size_t size);
void GdipFree(void* ptr);

GpStatus GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap);
GpStatus GdipLoadImageFromFile(const WCHAR* filename, GpImage** image);
// Resource numbers (MAKEINTRESOURCEW) select the program's embedded bitmaps ":/bitmap/<n>".
GpStatus GdipCreateBitmapFromResource(HINSTANCE instance, const WCHAR* name, GpBitmap** bitmap);
// With scan0, the bitmap is drawn from and onto the caller's rows (stride bytes apart, a
// positive multiple of 4), which must outlive it; indexed formats are not supported there.
GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format,
                                   BYTE* scan0, GpBitmap** bitmap);
GpStatus GdipDisposeImage(GpImage* image);
// A new bitmap of thumbWidth x thumbHeight showing the whole image, with its picture facts. An
// image not decoded yet is reduced while it is decoded (JPEG by the decoder's own scaling,
// others where their reader can), so the full-size pixels need never exist at once; the
// image itself stays undecoded. The callback is not supported and must be null.
using GetThumbnailImageAbort = BOOL (*)(void*);
GpStatus GdipGetImageThumbnail(GpImage* image, UINT thumbWidth, UINT thumbHeight,
                               GpImage** thumbImage, GetThumbnailImageAbort callback,
                               void* callbackData);

// Decodes the image's pixels now rather than at their first use; the decoder's answer.
GpStatus GdipImageForceValidation(GpImage* image);

GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
// Bits a pixel of this format takes; for a code no bitmap has, the widest format's (64), so
// that what memory a picture may need is never under-counted.
// NOLINTNEXTLINE(readability-identifier-naming): the Windows library's own name
UINT GetPixelFormatSize(PixelFormat format);
GpStatus GdipGetImageType(GpImage* image, ImageType* type);

GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics);
// hdc is the QPainter* that the framework passes to owner-drawn controls.
GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);

GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width,
                            INT height);
GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstx, INT dsty,
                                INT dstwidth, INT dstheight, INT srcx, INT srcy, INT srcwidth,
                                INT srcheight, GpUnit srcUnit,
                                const GpImageAttributes* imageAttributes, DrawImageAbort callback,
                                void* callbackData);

GpStatus GdipGetImageEncodersSize(UINT* numEncoders, UINT* size);
GpStatus GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders);

GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                             const EncoderParameters* encoderParams);
