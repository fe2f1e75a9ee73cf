#pragma once
// One Mersenne Twister per thread, seeded on the thread's first use from std::random_device.
// Tests can seed the calling thread's engine, or fix the seed that new threads' engines start from.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

std::mt19937& gf_randomEngine();
// Reseeds the calling thread's engine.
void gf_seedRandom(std::uint32_t seed);
// A seed for engines created after this call (on any thread); nullopt goes back to std::random_device.
void gf_setRandomSeedForNewThreads(std::optional<std::uint32_t> seed);
// One 32-bit draw.
std::uint32_t gf_randomDraw();
// A random index in [0, n): one draw modulo n; no draw for n <= 1 (gives 0).
std::size_t gf_randomIndex(std::size_t n);
// Shuffles in place; fewer than two strings are left alone and draw nothing.
void gf_shuffle(std::vector<std::string>& strings);
// value + s * value * percent / 100 with s = +1 or -1 (lowest bit of one draw: 0 gives +1); percent <= 0
// returns value unchanged without a draw.
double gf_randomVariation(double value, double percent);
