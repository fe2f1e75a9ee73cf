#include "foundation/random.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

std::mutex newThreadSeedMutex;
std::optional<std::uint32_t> newThreadSeed;

std::uint32_t firstSeed() {
    {
        std::lock_guard lock(newThreadSeedMutex);
        if (newThreadSeed) return *newThreadSeed;
    }
    std::random_device device;
    return device();
}

}  // namespace

std::mt19937& gf_randomEngine() {
    thread_local std::mt19937 engine(firstSeed());
    return engine;
}

void gf_seedRandom(std::uint32_t seed) { gf_randomEngine().seed(seed); }

void gf_setRandomSeedForNewThreads(std::optional<std::uint32_t> seed) {
    std::lock_guard lock(newThreadSeedMutex);
    newThreadSeed = seed;
}

std::uint32_t gf_randomDraw() { return static_cast<std::uint32_t>(gf_randomEngine()()); }

std::size_t gf_randomIndex(std::size_t n) {
    if (n <= 1) return 0;
    return gf_randomDraw() % n;
}

void gf_shuffle(std::vector<std::string>& strings) {
    if (strings.size() < 2) return;
    std::shuffle(strings.begin(), strings.end(), gf_randomEngine());
}

double gf_randomVariation(double value, double percent) {
    if (!(percent > 0.0)) return value;
    const double sign = (gf_randomDraw() & 1u) == 0 ? 1.0 : -1.0;
    return value + sign * value * percent / 100.0;
}
