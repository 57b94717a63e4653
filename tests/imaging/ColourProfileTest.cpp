// Which ICC profiles are taken, of which kind, and which count as sRGB, including the profiles
// made for pictures that name their colours by primaries and a transfer.

#include "imaging/colour/ColourProfile.h"
#include "TestPictures.h"
#include "imaging/jpeg/JpegDecoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

TEST(ColourProfile, RefusesWhatItCannotConvertAndKnowsKindsAndSrgb) {
    using Kind = ColourProfile::Kind;
    using Transfer = ColourProfile::Transfer;
    // CIE x, y of red, green, blue and the white point.
    const float srgb[8] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    const float p3[8] = {0.680f, 0.320f, 0.265f, 0.690f, 0.150f, 0.060f, 0.3127f, 0.3290f};
    const float onePoint[8] = {0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3127f, 0.3290f};
    const auto patched = [](QByteArray icc, int at, const char* bytes) {
        return icc.replace(at, 4, QByteArray(bytes, 4));
    };
    const QByteArray displayP3 = MadeProfile("p3");
    const struct {
        const char* name;
        QByteArray icc;
        std::optional<Kind> kind; // none: refused
        bool srgb;
    } rows[] = {
        {"none", {}, {}, false},
        {"cut short", displayP3.left(300), {}, false},
        {"more tags than the profile holds",
         patched(displayP3, 128, "\x7F\xFF\xFF\xFF"),
         {},
         false},
        {"a colour table claiming 500 MB", MadeProfile("huge-table"), {}, false},
        {"Lab", patched(displayP3, 16, "Lab "), {}, false},
        {"six colours", patched(displayP3, 16, "6CLR"), {}, false},
        {"the program's own sRGB", ColourProfile::srgbBytes(), Kind::Rgb, true},
        {"another sRGB", MadeProfile("srgb"), Kind::Rgb, true},
        {"Display P3", displayP3, Kind::Rgb, false},
        {"grey", MadeProfile("grey"), Kind::Grey, false},
        {"CMYK", MadeProfile("cmyk"), Kind::Cmyk, false},
        {"described as sRGB", ColourProfile::describing(srgb, Transfer::Srgb), Kind::Rgb, true},
        {"sRGB primaries, linear", ColourProfile::describing(srgb, Transfer::Linear), Kind::Rgb,
         false},
        {"sRGB primaries, gamma 2.2", ColourProfile::describing(srgb, Transfer::Gamma22), Kind::Rgb,
         false},
        {"sRGB primaries, BT.709's curve", ColourProfile::describing(srgb, Transfer::Bt709),
         Kind::Rgb, false},
        {"P3 primaries, sRGB's curve", ColourProfile::describing(p3, Transfer::Srgb), Kind::Rgb,
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::shared_ptr<const ColourProfile> profile = ColourProfile::from(row.icc);
        ASSERT_EQ(profile != nullptr, row.kind.has_value());
        if (!profile)
            continue;
        EXPECT_EQ(profile->kind(), *row.kind);
        EXPECT_EQ(profile->isSrgb(), row.srgb);
        EXPECT_EQ(profile->bytes(), row.icc);
    }
    // Primaries that span no colours make no profile.
    EXPECT_TRUE(ColourProfile::describing(onePoint, Transfer::Srgb).isEmpty());
}

// A large CMYK photograph is converted band by band while it is still being decoded: every band
// comes out as a small picture of the same inks, converted after its decode, does.
TEST(ColourProfile, LargeCmykPicturesConvertEveryBandAsTheyAreDecoded) {
    const std::vector<std::vector<int>> inks = {
        {0, 0, 0, 0}, {200, 30, 0, 10}, {10, 180, 90, 0}, {0, 0, 40, 220}};
    const std::shared_ptr<const ColourProfile> profile = ColourProfile::from(MadeProfile("cmyk"));
    ASSERT_TRUE(profile);
    const auto decoded = [&](int width, int height) {
        QImage pixels;
        EXPECT_EQ(JpegDecoder::decode(CmykJpeg(width, height, inks), {}, QImage::Format_RGB32,
                                      &pixels, profile.get()),
                  Ok);
        return pixels;
    };
    const QImage small = decoded(96, 64); // under a megapixel: converted after its decode
    const QImage large = decoded(1280, 1024);
    ASSERT_EQ(large.size(), QSize(1280, 1024));
    for (int y = 32; y < 1024; y += 64)
        for (const bool right : {false, true})
            EXPECT_EQ(large.pixel(right ? 960 : 320, y),
                      small.pixel(right ? 72 : 24, y < 512 ? 16 : 48))
                << y;
}
