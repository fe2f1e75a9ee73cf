// The settings file parameters.xml, read at the start of a run (every setting) and by one setting's store.
#include <cstddef>
#include <cstdint>

#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::sandbox();
    fuzz::writeInput(gf_parametersPath().lexically_relative(fuzz::sandbox()), data, size);
    static const SettingsRegistry registry = gf_buildSettingsRegistry();
    gf_readParameters(registry);
    fuzz::writeInput(gf_parametersPath().lexically_relative(fuzz::sandbox()), data, size);
    MAX_LIVE.save(MAX_LIVE.value.load());
    gf_resetSettings();
    return 0;
}
