#pragma once
// Entry of the livery scan: called by the run thread once per run. Ends, when it returns normally,
// by building the livery database from the scan cache.
void gf_scanLiveries();
