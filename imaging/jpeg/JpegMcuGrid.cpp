#include "imaging/jpeg/JpegMcuGrid.h"

#include <cstring>

JBLOCKROW JpegMcuGrid::blockRow(j_common_ptr owner, jvirt_barray_ptr blocks, JDIMENSION row,
                                bool writing) {
    return owner->mem->access_virt_barray(owner, blocks, row, 1, writing ? TRUE : FALSE)[0];
}

JBLOCKROW JpegMcuGrid::blockRow(j_common_ptr owner, const JpegCoefficients& blocks, int component,
                                int row) {
    return blockRow(owner, blocks[std::size_t(component)], JDIMENSION(row), false);
}

void JpegMcuCopy::operator()(const jpeg_component_info* components, int count,
                             const QRect& mcus) const {
    for (int c = 0; c < count; ++c) {
        const int h = components[c].h_samp_factor;
        const int v = components[c].v_samp_factor;
        for (int r = mcus.top() * v; r < (mcus.bottom() + 1) * v; ++r) {
            const JBLOCKROW source = JpegMcuGrid::blockRow(from, fromBlocks[std::size_t(c)],
                                                           JDIMENSION(fromMcu.y() * v + r), false);
            const JBLOCKROW target = JpegMcuGrid::blockRow(to, toBlocks[std::size_t(c)],
                                                           JDIMENSION(toMcu.y() * v + r), true);
            std::memcpy(target + std::ptrdiff_t(toMcu.x() + mcus.left()) * h,
                        source + std::ptrdiff_t(fromMcu.x() + mcus.left()) * h,
                        std::size_t(mcus.width() * h) * sizeof(JBLOCK));
        }
    }
}
