// The track of timed points: the same contents as a double-ended queue through random changes,
// and storage that stops growing once the track keeps its length.
#include <algorithm>
#include <deque>
#include <random>

#include <gtest/gtest.h>

#include "engine/point_track.h"

TEST(PointTrack, KeepsTheSameContentsAsADequeThroughRandomChanges) {
    std::mt19937 random(11);
    PointTrack<int> track;
    std::deque<int> reference;
    for (int step = 0; step < 50000; ++step) {
        const int value = step;
        switch (random() % 10) {
        case 0:
        case 1:
        case 2:
            track.push_back(value);
            reference.push_back(value);
            break;
        case 3:
            // A point of the track itself, pushed while the block may slide.
            if (!reference.empty()) {
                track.push_back(track.front());
                reference.push_back(reference.front());
            }
            break;
        case 4:
        case 5:
            if (!reference.empty()) {
                track.pop_front();
                reference.pop_front();
            }
            break;
        case 6:
            track.push_front(value);
            reference.push_front(value);
            break;
        case 7:
            if (reference.size() >= 3) {
                track.erase(track.begin() + 1, track.end() - 1);
                reference.erase(reference.begin() + 1, reference.end() - 1);
            } else if (!reference.empty()) {
                track.pop_back();
                reference.pop_back();
            }
            break;
        case 8:
            if (reference.size() >= 2) {
                track.insert(track.begin() + 1, value);
                reference.insert(reference.begin() + 1, value);
            }
            break;
        default:
            if (reference.size() > 40) {
                track.resize(1);
                reference.resize(1);
            }
        }
        ASSERT_EQ(track.size(), reference.size()) << step;
        ASSERT_TRUE(std::equal(track.begin(), track.end(), reference.begin())) << step;
    }
    const PointTrack<int> copy = track;
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), reference.begin(), reference.end()));
}

TEST(PointTrack, AddingAndTakingPointsAtTheUsualLengthReusesTheStorage) {
    PointTrack<int> track;
    for (int i = 0; i < 12; ++i) track.push_back(i);
    for (int i = 0; i < 100; ++i) {
        track.pop_front();
        track.push_back(i);
    }
    const size_t capacity = track.capacity();
    for (int i = 0; i < 10000; ++i) {
        track.pop_front();
        track.push_back(i);
        ASSERT_EQ(track.capacity(), capacity) << i;
    }
    EXPECT_EQ(track.size(), 12u);
    // At the block's end the points slide to its start; a point of the track added then keeps its value.
    PointTrack<int> full;
    while (full.size() < full.capacity() || full.size() < 16) full.push_back(static_cast<int>(full.size()));
    while (full.size() * 2 > full.capacity()) full.pop_front();
    const int first = full.front();
    full.push_back(full.front());
    EXPECT_EQ(full.back(), first);
    EXPECT_EQ(full.front(), first);
}
