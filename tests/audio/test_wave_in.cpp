// The input queue between the PortAudio callback and the GUI thread, without PortAudio:
// whatever block sizes the host delivers, the GUI thread takes whole 1110-frame buffers in
// the order recorded, and is woken once per whole buffer.

#include <gtest/gtest.h>
#include <poll.h>

#include <vector>

#include "audio/portaudio_wave_in.h"

namespace kb {
namespace {

bool signalled(const InputQueue& q) {
    pollfd p{q.noticeFd(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

// Frames numbered by their position, so a lost or doubled one shows.
std::vector<std::uint8_t> numbered(long first, unsigned long count) {
    std::vector<std::uint8_t> v;
    for (unsigned long k = 0; k < count; ++k) {
        v.push_back(static_cast<std::uint8_t>((first + static_cast<long>(k)) % 251));
        v.push_back(static_cast<std::uint8_t>((first + static_cast<long>(k)) % 241));
    }
    return v;
}

TEST(InputQueue, HandsOverWholeBuffersInOrderWhateverTheHostsBlockSize) {
    constexpr long F = WaveIn::FramesPerBuffer;
    for (unsigned long block : {64ul, 441ul, 1110ul, 4096ul}) {
        SCOPED_TRACE(block);
        InputQueue q;
        long captured = 0, taken = 0;
        std::vector<std::uint8_t> buffer(InputQueue::BufferBytes);
        while (captured < 4 * F) {
            const long before = captured / F;
            q.capture(numbered(captured, block).data(), block);
            captured += static_cast<long>(block);
            // Woken only when a whole buffer has gathered.
            EXPECT_EQ(signalled(q), captured / F != before) << captured;
            q.clearSignal();
            while (q.takeBuffer(buffer.data())) {
                ASSERT_EQ(buffer, numbered(taken * F, F));
                ++taken;
            }
        }
        EXPECT_EQ(taken, captured / F);
        EXPECT_EQ(q.droppedFrames(), 0u);
    }
}

}  // namespace
}  // namespace kb
