#include "airports/static_jobs.h"

std::vector<StaticJob> staticJobs;
