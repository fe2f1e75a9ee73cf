#pragma once
// Live aircraft on the ground by position, so that an aircraft holding at the end of its stream
// finds its taxiing neighbours without walking the whole live list. Run thread only.
//
// The grid is built on its first use within one pass of the per-tick update (lf_updateLiveList)
// from the aircraft that are on the ground then; during the pass no aircraft joins or leaves the
// list and none touches the ground (that happens while the inbox is drained), and each moves at
// most one tick's step, which the search radius allows for. Outside a pass, near a pole and near
// the date line no grid serves and the caller walks the list.
#include <cstdint>
#include <vector>

// Marks the start and the end of an update pass; the grid of the previous pass is forgotten.
void lf_beginUpdatePass();
void lf_endUpdatePass();

// Positions in the live list of the ground aircraft that may lie within reachNm + spanFactor x
// (the largest half span among them) of the position (more may be given; the caller checks the
// distance), or nullptr when no grid serves. The vector is reused by the next call.
const std::vector<uint32_t>* lf_groundNeighbourCandidates(double latitude, double longitude, double reachNm,
                                                          double spanFactor);
