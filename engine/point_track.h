#pragma once
// The queue of timed positions of a live aircraft: points are added at the back and taken from the
// front many times a second, so the storage is one contiguous block that is reused. Taking the
// front point only moves the start; adding a point slides the kept points to the start of the block
// when the block's end is reached, and grows the block only when the points fill more than half
// of it. Once an aircraft's track has reached its usual length, adding and taking points allocates
// nothing. Iterators are plain pointers, valid until the next change of the track.
#include <cstddef>
#include <initializer_list>
#include <vector>

template <class T>
class PointTrack {
public:
    using value_type = T;
    using size_type = std::size_t;
    using iterator = T*;
    using const_iterator = const T*;
    using reference = T&;
    using const_reference = const T&;

    PointTrack() = default;
    PointTrack(std::initializer_list<T> points) : store_(points) {}
    // A copy holds only the points, not the room taken up in front of them.
    PointTrack(const PointTrack& other) : store_(other.begin(), other.end()) {}
    PointTrack(PointTrack&& other) noexcept : store_(std::move(other.store_)), head_(other.head_) { other.head_ = 0; }
    PointTrack& operator=(const PointTrack& other) {
        if (this != &other) {
            store_.assign(other.begin(), other.end());
            head_ = 0;
        }
        return *this;
    }
    PointTrack& operator=(PointTrack&& other) noexcept {
        store_ = std::move(other.store_);
        head_ = other.head_;
        other.head_ = 0;
        return *this;
    }

    size_type size() const { return store_.size() - head_; }
    bool empty() const { return store_.size() == head_; }
    size_type capacity() const { return store_.capacity(); }
    void reserve(size_type n) {
        if (n > store_.capacity() - head_) compactInto(n);
    }

    iterator begin() { return store_.data() + head_; }
    iterator end() { return store_.data() + store_.size(); }
    const_iterator begin() const { return store_.data() + head_; }
    const_iterator end() const { return store_.data() + store_.size(); }

    T& front() { return store_[head_]; }
    const T& front() const { return store_[head_]; }
    T& back() { return store_.back(); }
    const T& back() const { return store_.back(); }
    T& operator[](size_type i) { return store_[head_ + i]; }
    const T& operator[](size_type i) const { return store_[head_ + i]; }

    void push_back(const T& point) {
        // The point may be one of the track's own, which sliding the points would move.
        const T value = point;
        makeRoomAtEnd();
        store_.push_back(value);
    }
    void push_front(const T& point) {
        if (head_ > 0) {
            store_[--head_] = point;
            return;
        }
        store_.insert(store_.begin(), point);
    }
    void pop_front() {
        ++head_;
        if (head_ == store_.size()) clear();
    }
    void pop_back() {
        store_.pop_back();
        if (head_ == store_.size()) clear();
    }
    iterator erase(const_iterator pos) { return erase(pos, pos + 1); }
    iterator erase(const_iterator first, const_iterator last) {
        const auto at = static_cast<std::ptrdiff_t>(first - store_.data());
        store_.erase(store_.begin() + at, store_.begin() + (last - store_.data()));
        return store_.data() + at;
    }
    iterator insert(const_iterator pos, const T& point) {
        const auto at = static_cast<std::ptrdiff_t>(pos - store_.data());
        return &*store_.insert(store_.begin() + at, point);
    }
    void resize(size_type n) { store_.resize(head_ + n); }
    void clear() {
        store_.clear();
        head_ = 0;
    }

private:
    void makeRoomAtEnd() {
        if (store_.size() < store_.capacity() || head_ == 0) return;
        // Slide back to the start when that leaves at least half of the block free; otherwise the
        // vector grows on its own when the point is added.
        if (size() * 2 > store_.capacity()) return;
        store_.erase(store_.begin(), store_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
    void compactInto(size_type n) {
        store_.erase(store_.begin(), store_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
        store_.reserve(n);
    }

    std::vector<T> store_;
    size_type head_ = 0;
};
