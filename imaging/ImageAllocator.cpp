#include "imaging/ImageAllocator.h"

#include <QCoreApplication>
#include <QThread>

#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Per worker thread: the decoded background and the stamped copy of one item.
constexpr std::size_t kKeptPerThread = 2;

struct Block {
    void* memory;
    std::size_t bytes; // a multiple of kHugePage
};

// The large buffers that worker threads have freed, newest last, shared by all of them: threads
// that stamp side by side hand buffers to each other, and what is kept never adds to the most
// memory the pictures in flight have needed at once (see take()). Released when the last worker
// thread ends.
class Recycler {
  public:
    // A kept buffer of at least `bytes` that wastes at most a quarter of it, or null. On a
    // miss, the oldest kept buffers are released until as much memory as the new one needs
    // has been given back (all of them when they hold less), so that a miss never leaves more
    // memory in use than before it plus the new picture, and a run of 12 MP and 24 MP pictures
    // does not hold both sizes at once.
    void* take(std::size_t bytes) {
        std::lock_guard lock(m_mutex);
        for (auto it = m_blocks.end(); it != m_blocks.begin();) {
            --it;
            if (it->bytes >= bytes && it->bytes - bytes <= bytes / 4) {
                void* memory = it->memory;
                m_blocks.erase(it);
                return memory;
            }
        }
        std::size_t released = 0;
        while (!m_blocks.empty() && released < bytes) {
            released += m_blocks.front().bytes;
            std::free(m_blocks.front().memory);
            m_blocks.erase(m_blocks.begin());
        }
        return nullptr;
    }
    // Keeps block; false when no worker thread is registered to use it again.
    bool give(const Block& block) {
        std::lock_guard lock(m_mutex);
        if (m_threads == 0)
            return false;
        if (m_blocks.size() >= kKeptPerThread * m_threads) {
            std::free(m_blocks.front().memory);
            m_blocks.erase(m_blocks.begin());
        }
        m_blocks.push_back(block);
        return true;
    }
    void threadStarts() {
        std::lock_guard lock(m_mutex);
        ++m_threads;
    }
    void threadEnds() {
        std::lock_guard lock(m_mutex);
        if (--m_threads > 0)
            return;
        for (const Block& block : m_blocks)
            std::free(block.memory);
        m_blocks.clear();
    }
    int count() {
        std::lock_guard lock(m_mutex);
        return int(m_blocks.size());
    }

  private:
    std::mutex m_mutex;
    std::vector<Block> m_blocks;
    std::size_t m_threads = 0;
};

// Never destroyed: worker threads may end after static destruction has begun.
Recycler& recycler() {
    static Recycler* const shared = new Recycler;
    return *shared;
}

// A worker thread's membership of the shared recycler, from its first large buffer to its end.
struct Membership {
    Membership() { recycler().threadStarts(); }
    ~Membership() {
        g_alive = false;
        recycler().threadEnds();
    }
    static thread_local bool g_alive;
};
thread_local bool Membership::g_alive = true;

bool threadKeepsBuffers() {
    if (!Membership::g_alive)
        return false;
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return false;
    static thread_local Membership membership;
    return true;
}

void releaseLarge(void* info) {
    auto* block = static_cast<Block*>(info);
    if (!threadKeepsBuffers() || !recycler().give(*block))
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
        block->memory = recycler().take(rounded);
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
    return recycler().count();
}
