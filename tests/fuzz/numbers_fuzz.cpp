// libFuzzer target: the one parser of the numbers a person types, on any bytes, for every field.
// A number it accepts is within the field's range, never -0, and its shown text reads back to it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "session/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace kelvora::session;
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    for (const NumberField* field : {&kPopulationField, &kGenerationsField, &kCrossoverField, &kMutationField,
                                     &kSeedField, &kTargetOffsetField, &kEpsilonField}) {
        const auto v = ParseNumberField(*field, text);
        if (!v) continue;
        if (!InRange(*field, *v) || std::signbit(*v) != (*v < 0)) std::abort();
        if (field->integer && *v != std::floor(*v)) std::abort();
        // An integer is written as its digits; any other number as its shortest exact text.
        const std::string shown = field->integer ? std::to_string(static_cast<long long>(*v)) : NumberText(*v);
        if (ParseNumberField(*field, shown) != v) std::abort();
    }
    (void)ParseTarget(text);
    return 0;
}
