// Page arguments and number fields. Cleaning and splitting lose nothing but
// the brackets and quotes they are meant to drop; every number reader agrees
// with the C library's strtoll and strtod in the "C" locale, except that it
// refuses what is not finite and what no 32-bit field could hold.
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "tests/fuzz/fuzz_support.h"
#include "text/arguments.h"

namespace {

// strtoll on the field: the value of its leading decimal number, if any.
bool referenceInteger(const std::string& field, long long& value) {
    const char* begin = field.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(begin, &end, 10);
    return end != begin && errno != ERANGE;
}

// strtod on the field, cut before any 'x': our readers take no hexadecimal
// form, so "0x10" is the number 0 followed by other text. A result too small
// for a normal double still counts when it is not zero (stod would refuse it,
// but it is a finite number all the same).
template <typename Real>
bool referenceReal(const std::string& field, Real (*convert)(const char*, char**), Real& value) {
    const std::string cut = field.substr(0, field.find_first_of("xX"));
    const char* begin = cut.c_str();
    char* end = nullptr;
    errno = 0;
    value = convert(begin, &end);
    if (end == begin || !std::isfinite(value)) return false;
    return errno != ERANGE || value != 0;
}

void integers(const std::string& field) {
    long long expected = 0;
    const bool valid = referenceInteger(field, expected);
    int64_t wide = 0;
    FUZZ_CHECK(parseInt64(field, wide) == valid);
    if (valid) FUZZ_CHECK(wide == expected);
    int32_t narrow = 0;
    const bool fits = valid && expected >= INT32_MIN && expected <= INT32_MAX;
    FUZZ_CHECK(parseInt32(field, narrow) == fits);
    if (fits) FUZZ_CHECK(narrow == expected);
    uint32_t unsignedValue = 0;
    const bool fitsUnsigned = valid && expected >= -int64_t(UINT32_MAX) && expected <= int64_t(UINT32_MAX);
    FUZZ_CHECK(parseUInt32(field, unsignedValue) == fitsUnsigned);
    if (fitsUnsigned) FUZZ_CHECK(unsignedValue == uint32_t(expected));
}

void reals(const std::string& field) {
    double expected = 0;
    const bool valid = referenceReal<double>(field, std::strtod, expected);
    double value = 0;
    FUZZ_CHECK(parseDouble(field, value) == valid);
    if (valid) FUZZ_CHECK(value == expected && std::signbit(value) == std::signbit(expected));
    float expectedFloat = 0;
    const bool validFloat = referenceReal<float>(field, std::strtof, expectedFloat);
    float narrow = 0;
    FUZZ_CHECK(parseFloat(field, narrow) == validFloat);
    if (validFloat) FUZZ_CHECK(narrow == expectedFloat);
}

void argumentList(const std::string& text) {
    const std::string stripped = stripArgumentText(text);
    FUZZ_CHECK(stripped.find_first_of("[]\"") == std::string::npos);
    FUZZ_CHECK(stripped.size() + size_t(std::count_if(text.begin(), text.end(), [](char c) {
                   return c == '[' || c == ']' || c == '"';
               })) == text.size());
    std::string joined;
    for (const std::string& field : parseArgumentList(text)) {
        FUZZ_CHECK(field.find(',') == std::string::npos);
        joined += field + ",";
    }
    // Joined again, the fields give the text back, but for one final comma.
    FUZZ_CHECK(joined == stripped + "," || joined == stripped);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A C string stops at its first NUL; so does every field the program reads.
    const std::string text = fuzz::text(data, size);
    const std::string field = text.substr(0, text.find('\0'));
    integers(field);
    reals(field);
    argumentList(text);
    return 0;
}
