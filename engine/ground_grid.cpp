// Live aircraft on the ground by position: a hash grid of cells of 0.01 degrees, rebuilt once per
// update pass in storage that is kept from tick to tick.
#include "engine/ground_grid.h"

#include <algorithm>
#include <cmath>

#include "engine/engine_state.h"

namespace {

constexpr double kCellDeg = 0.01;
// How far a ground aircraft may move in one tick and more (a roll-out at 200 kt covers 0.0006 nm).
constexpr double kMarginNm = 0.02;
constexpr uint32_t kEnd = UINT32_MAX;

bool inPass = false;
bool built = false;
std::vector<uint32_t> bucketHead;    // first entry of each bucket, kEnd when empty
std::vector<uint32_t> nextInBucket;  // per live-list position
std::vector<int64_t> cellOf;         // per live-list position: the cell's key
std::vector<uint32_t> candidates;
double largestHalfSpanNm = 0.0;

int64_t cellIndex(double degrees) { return static_cast<int64_t>(std::floor(degrees / kCellDeg)); }
int64_t cellKey(int64_t latCell, int64_t lonCell) { return latCell * 100000 + lonCell; }
size_t bucketOf(int64_t key) {
    return static_cast<size_t>((static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> 40) & (bucketHead.size() - 1);
}

void build() {
    built = true;
    size_t buckets = 64;
    while (buckets < 2 * liveList.size()) buckets *= 2;
    bucketHead.assign(buckets, kEnd);
    nextInBucket.resize(liveList.size());
    cellOf.resize(liveList.size());
    largestHalfSpanNm = 0.0;
    for (uint32_t i = 0; i < liveList.size(); ++i) {
        const LiveAircraft& ac = liveList[i];
        if (!ac.onGround) continue;
        const int64_t key = cellKey(cellIndex(ac.position[kPosLat]), cellIndex(ac.position[kPosLon]));
        cellOf[i] = key;
        largestHalfSpanNm = std::max(largestHalfSpanNm, ac.halfSpanNm);
        const size_t b = bucketOf(key);
        nextInBucket[i] = bucketHead[b];
        bucketHead[b] = i;
    }
}

}  // namespace

void lf_beginUpdatePass() {
    inPass = true;
    built = false;
}

void lf_endUpdatePass() {
    inPass = false;
    built = false;
}

const std::vector<uint32_t>* lf_groundNeighbourCandidates(double latitude, double longitude, double reachNm,
                                                          double spanFactor) {
    if (!inPass) return nullptr;
    if (!built) build();
    const double latReach = (reachNm + spanFactor * largestHalfSpanNm + kMarginNm) / 60.0;
    const double cosLat = std::cos(latitude * 0.017453292519943295);
    if (std::fabs(latitude) + latReach > 85.0 || cosLat < 0.05) return nullptr;
    const double lonReach = latReach / cosLat;
    if (std::fabs(longitude) + lonReach >= 180.0) return nullptr;
    // A reach over many cells (a span out of the ordinary) is served better by the list.
    if (latReach > 20 * kCellDeg || lonReach > 20 * kCellDeg) return nullptr;
    candidates.clear();
    const int64_t lat0 = cellIndex(latitude - latReach), lat1 = cellIndex(latitude + latReach);
    const int64_t lon0 = cellIndex(longitude - lonReach), lon1 = cellIndex(longitude + lonReach);
    for (int64_t la = lat0; la <= lat1; ++la) {
        for (int64_t lo = lon0; lo <= lon1; ++lo) {
            const int64_t key = cellKey(la, lo);
            for (uint32_t i = bucketHead[bucketOf(key)]; i != kEnd; i = nextInBucket[i])
                if (cellOf[i] == key) candidates.push_back(i);
        }
    }
    return &candidates;
}
