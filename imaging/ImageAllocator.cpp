#include "imaging/ImageAllocator.h"

#include <QCoreApplication>
#include <QThread>

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Two: the decoded background and the stamped copy of one item.
constexpr std::size_t kKeptPerThread = 2;

struct Block {
    void* memory;
    std::size_t bytes; // a multiple of kHugePage
};

// The large buffers one thread has freed, newest last.
class Recycler {
  public:
    ~Recycler() {
        for (const Block& block : m_blocks)
            std::free(block.memory);
        m_blocks.clear();
        s_alive = false;
    }
    // A kept buffer of at least `bytes` that wastes at most a quarter of it, or null. On a
    // miss the pictures have changed size: the kept buffers are released, so that they do not
    // add to the memory of the new ones (a run of 12 MP and 24 MP pictures would otherwise
    // hold both sizes at once).
    void* take(std::size_t bytes) {
        for (auto it = m_blocks.end(); it != m_blocks.begin();) {
            --it;
            if (it->bytes >= bytes && it->bytes - bytes <= bytes / 4) {
                void* memory = it->memory;
                m_blocks.erase(it);
                return memory;
            }
        }
        for (const Block& block : m_blocks)
            std::free(block.memory);
        m_blocks.clear();
        return nullptr;
    }
    void give(const Block& block) {
        if (m_blocks.size() == kKeptPerThread) {
            std::free(m_blocks.front().memory);
            m_blocks.erase(m_blocks.begin());
        }
        m_blocks.push_back(block);
    }
    int count() const { return int(m_blocks.size()); }

    static thread_local bool s_alive;

  private:
    std::vector<Block> m_blocks;
};

thread_local bool Recycler::s_alive = true;
thread_local Recycler t_recycler;

bool threadKeepsBuffers() {
    if (!Recycler::s_alive)
        return false;
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() != app->thread();
}

void releaseLarge(void* info) {
    auto* block = static_cast<Block*>(info);
    if (threadKeepsBuffers())
        t_recycler.give(*block);
    else
        std::free(block->memory);
    delete block;
}

// Bits per pixel as QImage lays rows out. QPixelFormat counts only the channels (15 for RGB555,
// 18 for RGB666), which gives rows too short for QImage to accept.
int storedDepth(QImage::Format format) {
    static const std::array<int, QImage::NImageFormats> depths = [] {
        std::array<int, QImage::NImageFormats> table{};
        for (int f = 1; f < QImage::NImageFormats; ++f)
            table[std::size_t(f)] = QImage(1, 1, QImage::Format(f)).depth();
        return table;
    }();
    return depths[std::size_t(format)];
}

} // namespace

QImage ImageAllocator::allocate(QSize size, QImage::Format format, Contents contents) {
    if (size.isEmpty() || format <= QImage::Format_Invalid || format >= QImage::NImageFormats)
        return QImage();
    const int depth = storedDepth(format);
    const qsizetype bytesPerLine = (qsizetype(size.width()) * depth + 31) / 32 * 4;
    const std::size_t bytes = std::size_t(bytesPerLine) * std::size_t(size.height());
    if (bytes < kHugePage) {
        void* memory = std::calloc(bytes, 1);
        if (!memory)
            return QImage();
        QImage image(static_cast<uchar*>(memory), size.width(), size.height(), bytesPerLine, format,
                     std::free, memory);
        if (image.isNull())
            std::free(memory);
        return image;
    }

    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    auto* block = new (std::nothrow) Block{nullptr, rounded};
    if (!block)
        return QImage();
    if (threadKeepsBuffers())
        block->memory = t_recycler.take(rounded);
    if (!block->memory) {
        block->memory = std::aligned_alloc(kHugePage, rounded);
        if (!block->memory) {
            delete block;
            return QImage();
        }
        ::madvise(block->memory, rounded, MADV_HUGEPAGE); // a hint; failure only costs speed
    }
    if (contents == Contents::Zeroed)
        std::memset(block->memory, 0, bytes);
    QImage image(static_cast<uchar*>(block->memory), size.width(), size.height(), bytesPerLine,
                 format, releaseLarge, block);
    if (image.isNull())
        releaseLarge(block);
    return image;
}

int ImageAllocator::keptBuffers() {
    return Recycler::s_alive ? t_recycler.count() : 0;
}
