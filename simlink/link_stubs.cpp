// Temporary bodies until the client thread lands.
#include "simlink/commands.h"

UserState userState{};
std::atomic<std::uint8_t> userOnGround{0};
std::atomic<std::uint8_t> userOnGroundValid{0};
std::atomic<double> userHalfWingSpanNm{0.0};
std::atomic<std::uint32_t> userCategory{0};
std::atomic<std::uint8_t> userModelKnown{0};
std::atomic<std::int64_t> simUtcEpoch{0};

vsim::SimHandle gf_simHandle() { return nullptr; }
void gf_releaseAiControl(std::uint32_t) {}
void gf_resetSimConnectQueues() {}
void gf_logSimConnectRequestError() {}
void gf_resetSimLink() {}
UserState gf_requestUserPosition() { return UserState{}; }
void gf_requestUserTitleAndModel() {}
void gf_requestUserOnGround() {}
std::string gf_standAtUserPosition() { return {}; }
