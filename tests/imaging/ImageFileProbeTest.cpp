// The probe's table of containers, row by row.

#include "ImagingTestSupport.h"

#include "imaging/probe/ImageFileProbe.h"

#include <gtest/gtest.h>

#include <map>

// Each row on a picture of its container drawn here: the row's own sniffing claims it and no row
// before it does, its walker finds it whole at the drawn size and not whole when cut in half, and
// the read budget covers the whole file.
TEST(ImageFileProbe, EveryContainerRowKnowsItsOwnPictures) {
    using C = ImageFileProbe::Container;
    const QImage drawn = Quadrants(40, 30);
    const QByteArray png = Encode(drawn, "png");
    const std::map<C, QByteArray> pictures = {
        {C::Jpeg, Encode(drawn, "jpeg")}, {C::Png, png},
        {C::Gif, EncodeGif(drawn)},       {C::Bmp, Encode(drawn, "bmp")},
        {C::Tiff, Encode(drawn, "tiff")}, {C::WebP, Encode(drawn, "webp", 90)},
        {C::Ico, IcoHolding(png)},        {C::Icns, IcnsHolding(png)}};
    ASSERT_EQ(ImageFileProbe::kContainers.size(), pictures.size());
    for (const ImageFileProbe::ContainerRow& row : ImageFileProbe::kContainers) {
        SCOPED_TRACE(int(row.container));
        ASSERT_EQ(pictures.count(row.container), 1u);
        const QByteArray& file = pictures.at(row.container);
        EXPECT_TRUE(row.sniffs(file));
        EXPECT_EQ(ImageFileProbe::sniff(file), row.container);
        const ImageFileProbe::Result whole = ImageFileProbe::probe(file);
        EXPECT_TRUE(whole.complete && !whole.damaged);
        EXPECT_EQ(whole.width, std::uint64_t(drawn.width()));
        EXPECT_EQ(whole.height, std::uint64_t(drawn.height()));
        EXPECT_GE(ImageFileProbe::bytesWorthReading(whole), std::uint64_t(file.size()));
        EXPECT_FALSE(ImageFileProbe::probe(file.left(file.size() / 2)).complete);
    }
}
