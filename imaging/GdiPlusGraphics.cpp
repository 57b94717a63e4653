// Drawing surfaces and drawing.

#include "imaging/GdiPlus.h"

#include "imaging/GpGraphics.h"

GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics) {
    return GpGraphics::onImage(image, graphics);
}

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics) {
    return GpGraphics::onPainter(reinterpret_cast<QPainter*>(hdc), graphics);
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
    if (!graphics)
        return InvalidParameter;
    delete graphics;
    return Ok;
}

GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width,
                            INT height) {
    if (!graphics || !image)
        return InvalidParameter;
    UINT imageWidth = 0;
    UINT imageHeight = 0;
    GdipGetImageWidth(image, &imageWidth);
    GdipGetImageHeight(image, &imageHeight);
    return graphics->drawImage(image, QRectF(x, y, width, height),
                               QRectF(0, 0, imageWidth, imageHeight));
}

GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstx, INT dsty,
                                INT dstwidth, INT dstheight, INT srcx, INT srcy, INT srcwidth,
                                INT srcheight, GpUnit srcUnit,
                                const GpImageAttributes* imageAttributes, DrawImageAbort callback,
                                void* callbackData) {
    if (!graphics || !image)
        return InvalidParameter;
    if (srcUnit != UnitPixel || imageAttributes)
        return NotImplemented;
    if (callback && callback(callbackData))
        return Aborted;
    return graphics->drawImage(image, QRectF(dstx, dsty, dstwidth, dstheight),
                               QRectF(srcx, srcy, srcwidth, srcheight));
}
