// libFuzzer target: run.json's reader, on any bytes. It must never crash or hang; a record it
// accepts is written out again as JSON that it reads back to the very same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "io/run_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string json(reinterpret_cast<const char*>(bytes), size);
    std::string error;
    const auto record = kelvora::ParseRunRecord(json, error);
    if (!record) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    const std::string written = kelvora::RunRecordJson(*record);
    const auto again = kelvora::ParseRunRecord(written, error);
    if (!again || kelvora::RunRecordJson(*again) != written) std::abort();
    return 0;
}
