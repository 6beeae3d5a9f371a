// The libFuzzer entry of one target, chosen when built (TOLVANE_FUZZ_TARGET).
#include "fuzztargets.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzTarget* target = findFuzzTarget(TOLVANE_FUZZ_TARGET);
    if (!target || !target->run(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))))
        std::abort();
    return 0;
}
