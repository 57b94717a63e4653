#include "imaging/PictureFacts.h"

#include "imaging/GpImage.h"

std::shared_ptr<const PictureFacts> PictureFacts::read(const QByteArray& encoded) {
    auto facts = std::make_shared<PictureFacts>();
    facts->resolution = Resolution::read(encoded);
    return facts;
}

void PictureFacts::carry(const GpImage* from, GpImage* to) {
    if (from != nullptr && to != nullptr)
        to->facts = from->facts;
}

void PictureFacts::writeInto(QByteArray& encoded, const PictureFacts& facts) {
    Resolution::write(encoded, facts.resolution);
}
