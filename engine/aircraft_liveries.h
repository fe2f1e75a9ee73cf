#pragma once
// The engine's aircraft records given their liveries: the catalogue's matching ladder
// (catalogue/livery_matching.h) run on a copy of the record's identity, category and cargo wish, and
// the title written back. Run thread only.

struct SimAircraft;
struct ParkPos;

void gf_matchLivery(SimAircraft& aircraft);
bool gf_matchStaticLivery(SimAircraft& aircraft, const ParkPos& stand);
// Records a failed creation; throws ovk::UserErrorException 81 from the 20th failure on.
void gf_liveryNotCreated(const SimAircraft& aircraft);
