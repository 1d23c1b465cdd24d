// libFuzzer target: the mSQL value text conversions read any text as a value or raise
// host::EConvertError, and write any value, never crashing or hanging.
//
// Input: byte 0 selects the conversion, the rest is the text (or, for the writers, the bytes of a
// double).
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "client/ValueConversions.h"
#include "host/Exceptions.h"

namespace {

// A date-time as a point on a line: before 1899-12-30 the fraction is a time of day added to the day,
// not subtracted as the value's sign suggests.
double Moment(double value) {
    const double day = std::trunc(value);
    return day + std::fabs(value - day);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    double number = 0;
    std::memcpy(&number, text.data(), std::min(text.size(), sizeof number));
    int32_t integer = 0;
    std::memcpy(&integer, text.data(), std::min(text.size(), sizeof integer));
    try {
        switch (data[0] % 8) {
        case 0:
            corvane::SqlDateToDateTime(text);
            break;
        case 1:
            corvane::SQLTimeStampToDateTime(text);
            break;
        case 2: {
            // A number read back from its text is the number (to the 15 digits written).
            const double value = corvane::StrToSQLFloat(text);
            const std::string written = corvane::SQLFloatToStr(value);
            const double again = corvane::StrToSQLFloat(written);
            if (std::isfinite(value) && std::fabs(again - value) > 1e-14 * std::fabs(value)) std::abort();
            break;
        }
        case 3:
            for (int mode = 0; mode < 4; ++mode)
                corvane::DateTimeToSqlDate(number, mode);
            break;
        case 4:
            corvane::SQLFloatToStr(number);
            break;
        case 5:
            corvane::StrToBool("yt1", "nf0", text);
            corvane::CompareBegin(text, text.substr(text.size() / 2));
            break;
        case 6:
            corvane::GetMonthNumFromName(text);
            corvane::GetMonthNameFromNum(integer);
            break;
        default: {
            // A date-time written in the server's form (dd-Mon-yyyy hh:nn:ss) reads back as the same
            // moment to the second. Within the host's calendar: 1 January 0001 to 31 December 9999.
            if (!std::isfinite(number) || number < -693593 || number >= 2958466 - 0.5 / 86400000) break;
            const std::string text = corvane::DateTimeToSqlDate(number, corvane::SqlDateTimeMode);
            if (text.empty()) break;
            // The host rounds to the millisecond on the value's own scale, which before 1899-12-30 turns
            // a time within half a millisecond of midnight into the day before: no host value (they
            // are made of whole milliseconds) is that close.
            if (number < 0 && std::round(std::fabs(number - std::trunc(number)) * 86400000) >= 86400000)
                break;
            if (std::fabs(Moment(corvane::SqlDateToDateTime(text)) - Moment(number)) > 1.5 / 86400)
                std::abort();
            break;
        }
        }
    } catch (const host::Exception&) {
        // A text that is no value of its kind (or a value outside the host's calendar).
    }
    return 0;
}
