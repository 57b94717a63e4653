#pragma once
// Beyond the Windows library: what the engine asks of and does with a bitmap's picture facts
// (see PictureFacts): carrying them into a copy, the overlay in the picture's colour space,
// the screen's sRGB view, and whether a profile was ignored.

#include "imaging/GdiPlus.h"

#include <memory>

class ColourProfile;

struct ImageFacts {
    // Gives `to` the facts of `from`, for a bitmap that `from` was drawn into one to one.
    static void carry(const GpImage* from, GpImage* to);
    // The overlay as it is to be drawn on background (both decoded): converted from its own
    // profile (sRGB when untagged) into the background's, or itself where they agree or the
    // conversion fails. A converted copy lasts until the next call on this thread.
    static GpImage* overlayFor(GpImage* overlay, const GpImage* background);
    // The same into the profile a copy will carry instead of its picture's own (a grey one's
    // shown in colour), with the same converted copy kept.
    static GpImage* overlayInto(GpImage* overlay, const std::shared_ptr<const ColourProfile>& into);
    // For the screen, which shows sRGB: a bitmap drawn from `picture` (its facts carried) and
    // stamped is converted from the picture's profile to sRGB, so that it looks as the saved
    // copy will in a viewer that reads the profile.
    static void showAsSrgb(GpImage* image, const GpImage* picture);
    // Whether the picture's profile was ignored: it is then stamped as an untagged one.
    static bool profileRefusedFor(const GpImage* image);
    // Multiplies the image's alpha by percent (0-100), its pixels decoded and held premultiplied
    // from then on: a mark drawn at that opacity in every way it is drawn. False, with the image
    // as it was, when its pixels do not decode or memory runs out.
    static bool fade(GpImage* image, int percent);
};
