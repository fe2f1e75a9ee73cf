#include "catalogue/livery_scan.h"

#include "catalogue/livery_db.h"

void gf_scanLiveries() { lf_processLiveries(); }
