#pragma once
// Lock-free single-producer single-consumer queues between the GUI thread and the
// PortAudio callback. Both are allocated once, at construction; pushing and popping never
// allocate, lock or block, so the callback may use its side freely.
//
// Threads: exactly one thread calls the producer methods (push, freeSpace, written) and
// exactly one thread calls the consumer methods (pop, available, read) at any time.
// The roles may pass to another thread only across a synchronising event (a thread start
// or join, e.g. Pa_StartStream / Pa_AbortStream). clear() is for when neither side runs.
//
// Positions are 64-bit running counts of the values pushed and popped, so they never wrap
// in practice; the storage index is the count masked by the power-of-two capacity.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

namespace kb {

namespace spsc_detail {
inline constexpr std::size_t CacheLine = 64;

constexpr std::size_t roundUpPow2(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p <<= 1;
    return p;
}
}  // namespace spsc_detail

// A ring of plain values (the samples of queued characters), pushed and popped in runs.
template <typename T>
class SpscRing {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    // Holds at least `minCapacity` values (rounded up to a power of two).
    explicit SpscRing(std::size_t minCapacity)
        : capacity_(spsc_detail::roundUpPow2(std::max<std::size_t>(minCapacity, 2))),
          mask_(capacity_ - 1),
          data_(new T[capacity_]()) {}

    SpscRing(const SpscRing&) = delete;
    SpscRing& operator=(const SpscRing&) = delete;

    std::size_t capacity() const { return capacity_; }

    // Producer: room left.
    std::size_t freeSpace() const {
        const std::uint64_t w = write_.load(std::memory_order_relaxed);
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        return capacity_ - static_cast<std::size_t>(w - r);
    }
    // Producer: values pushed so far.
    std::uint64_t written() const { return write_.load(std::memory_order_relaxed); }

    // Producer: appends all `n` values, or nothing when they do not fit. With n == 0, src
    // may be null.
    bool push(const T* src, std::size_t n) {
        if (n == 0) return true;  // see pop
        if (n > freeSpace()) return false;
        const std::uint64_t w = write_.load(std::memory_order_relaxed);
        copyIn(static_cast<std::size_t>(w & mask_), src, n);
        write_.store(w + n, std::memory_order_release);
        return true;
    }

    // Consumer: values ready to pop.
    std::size_t available() const {
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        const std::uint64_t w = write_.load(std::memory_order_acquire);
        return static_cast<std::size_t>(w - r);
    }
    // Consumer: values popped so far.
    std::uint64_t read() const { return read_.load(std::memory_order_relaxed); }

    // Consumer: moves up to `n` values to `dst`; returns how many. With n == 0, dst may be
    // null.
    std::size_t pop(T* dst, std::size_t n) {
        // Decided first, on the caller's own count: GCC checks memcpy's non-null arguments
        // right after inlining, before it has worked out that copyOut's guard makes the
        // copy unreachable, and so warned for a caller passing (nullptr, 0).
        if (n == 0) return 0;
        n = std::min(n, available());
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        copyOut(static_cast<std::size_t>(r & mask_), dst, n);
        read_.store(r + n, std::memory_order_release);
        return n;
    }

    // Neither side running: forget everything queued.
    void clear() {
        read_.store(0, std::memory_order_relaxed);
        write_.store(0, std::memory_order_release);
    }

private:
    void copyIn(std::size_t at, const T* src, std::size_t n) {
        if (n == 0) return;
        const std::size_t first = std::min(n, capacity_ - at);
        std::memcpy(data_.get() + at, src, first * sizeof(T));
        if (n > first) std::memcpy(data_.get(), src + first, (n - first) * sizeof(T));
    }
    void copyOut(std::size_t at, T* dst, std::size_t n) const {
        if (n == 0) return;
        const std::size_t first = std::min(n, capacity_ - at);
        std::memcpy(dst, data_.get() + at, first * sizeof(T));
        if (n > first) std::memcpy(dst + first, data_.get(), (n - first) * sizeof(T));
    }

    const std::size_t capacity_;
    const std::size_t mask_;
    std::unique_ptr<T[]> data_;
    alignas(spsc_detail::CacheLine) std::atomic<std::uint64_t> write_{0};
    alignas(spsc_detail::CacheLine) std::atomic<std::uint64_t> read_{0};
};

// A fixed-capacity queue of small records (write orders one way, notices the other).
template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert(std::is_trivially_copyable_v<T>);
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0,
                  "capacity must be a power of two");

public:
    SpscQueue() : slots_(new T[Capacity]()) {}
    SpscQueue(const SpscQueue&) = delete;
    SpscQueue& operator=(const SpscQueue&) = delete;

    static constexpr std::size_t capacity() { return Capacity; }

    // Producer: false when full (the record is not queued).
    bool push(const T& item) {
        const std::uint64_t w = write_.load(std::memory_order_relaxed);
        if (w - read_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[w & (Capacity - 1)] = item;
        write_.store(w + 1, std::memory_order_release);
        return true;
    }

    // Consumer: false when empty.
    bool pop(T& out) {
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        if (r == write_.load(std::memory_order_acquire)) return false;
        out = slots_[r & (Capacity - 1)];
        read_.store(r + 1, std::memory_order_release);
        return true;
    }

    // Either side: a snapshot, exact only for the consumer.
    std::size_t size() const {
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        const std::uint64_t w = write_.load(std::memory_order_acquire);
        return static_cast<std::size_t>(w - r);
    }
    bool empty() const { return size() == 0; }

    // Neither side running: forget everything queued.
    void clear() {
        read_.store(0, std::memory_order_relaxed);
        write_.store(0, std::memory_order_release);
    }

private:
    std::unique_ptr<T[]> slots_;
    alignas(spsc_detail::CacheLine) std::atomic<std::uint64_t> write_{0};
    alignas(spsc_detail::CacheLine) std::atomic<std::uint64_t> read_{0};
};

}  // namespace kb
