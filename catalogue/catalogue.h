#pragma once
// Everything the other subsystems call of the aircraft and livery catalogue.
#include "catalogue/livery_db.h"
#include "catalogue/livery_matching.h"
#include "catalogue/livery_scan.h"
#include "catalogue/reference_db.h"

// Resets every table of the catalogue to its program-start state (tests).
void gf_resetCatalogue();
