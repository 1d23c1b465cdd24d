// Date and time encoding, clock readings, formatting and parsing.
#include "host/DateTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "host/Exceptions.h"
#include "host/Messages.h"

namespace host {

namespace {

constexpr int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Day number (0001-01-01 = 1) of a valid date.
int32_t DayNumber(int year, int month, int day) {
    const int leap = IsLeapYear(year) ? 1 : 0;
    int32_t days = day;
    for (int m = 1; m < month; ++m)
        days += kMonthDays[leap][m - 1];
    const int32_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400 + days;
}

// The reverse of DayNumber for a day number >= 1.
void SplitDayNumber(int32_t dayNumber, int& year, int& month, int& day) {
    constexpr int32_t D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
    int32_t t = dayNumber - 1;
    int32_t y = 1;
    y += (t / D400) * 400;
    t %= D400;
    int32_t i = t / D100;
    int32_t d = t % D100;
    if (i == 4) {
        i = 3;
        d += D100;
    }
    y += i * 100;
    y += (d / D4) * 4;
    d %= D4;
    i = d / D1;
    d %= D1;
    if (i == 4) {
        i = 3;
        d += D1;
    }
    y += i;
    const int leap = IsLeapYear(y) ? 1 : 0;
    int m = 1;
    while (d >= kMonthDays[leap][m - 1]) {
        d -= kMonthDays[leap][m - 1];
        ++m;
    }
    year = y;
    month = m;
    day = d + 1;
}

std::string Pad(int value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    return s;
}

char Up(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool StartsWithNoCase(std::string_view s, size_t pos, std::string_view what) {
    if (pos + what.size() > s.size()) return false;
    for (size_t k = 0; k < what.size(); ++k)
        if (Up(s[pos + k]) != Up(what[k])) return false;
    return true;
}

class DateTimeFormatter {
public:
    DateTimeFormatter(TDateTime value, const TFormatSettings& settings) : fValue(value), fSettings(settings) {
        DecodeDate(value, fYear, fMonth, fDay);
        DecodeTime(value, fHour, fMin, fSec, fMSec);
    }

    void Append(std::string_view format, int depth) {
        if (depth > 2) return; // settings formats may not nest further
        bool use12Hour = false;
        for (size_t k = 0; k < format.size(); ++k) {
            if (StartsWithNoCase(format, k, "am/pm") || StartsWithNoCase(format, k, "a/p") ||
                StartsWithNoCase(format, k, "ampm")) {
                use12Hour = true;
                break;
            }
        }
        char lastToken = ' ';
        size_t i = 0;
        while (i < format.size()) {
            const char c = format[i];
            char token = Up(c);
            auto runLength = [&]() {
                const char letter = Up(c);
                size_t n = 1;
                while (i + n < format.size() && Up(format[i + n]) == letter)
                    ++n;
                i += n;
                return static_cast<int>(n);
            };
            if (token >= 'A' && token <= 'Z') {
                if (token == 'M' && lastToken == 'H') token = 'N'; // "h:mm" means minutes
                lastToken = token;
            }
            switch (token) {
            case '"':
            case '\'': {
                size_t close = format.find(c, i + 1);
                if (close == std::string_view::npos) close = format.size();
                fOut.append(format.substr(i + 1, close - i - 1));
                i = close < format.size() ? close + 1 : close;
                break;
            }
            case 'Y': {
                int n = runLength();
                fOut += n <= 2 ? Pad(fYear % 100, 2) : Pad(fYear, 4);
                break;
            }
            case 'M': {
                int n = runLength();
                if (n == 1) {
                    fOut += std::to_string(fMonth);
                } else if (n == 2) {
                    fOut += Pad(fMonth, 2);
                } else if (fMonth >= 1) {
                    fOut +=
                        n == 3 ? fSettings.ShortMonthNames[fMonth - 1] : fSettings.LongMonthNames[fMonth - 1];
                }
                break;
            }
            case 'D': {
                int n = runLength();
                int dow = DayOfWeek(fValue);
                if (n == 1)
                    fOut += std::to_string(fDay);
                else if (n == 2)
                    fOut += Pad(fDay, 2);
                else if (n == 3 && dow >= 1)
                    fOut += fSettings.ShortDayNames[dow - 1];
                else if (n == 4 && dow >= 1)
                    fOut += fSettings.LongDayNames[dow - 1];
                else if (n == 5)
                    Append(fSettings.ShortDateFormat, depth + 1);
                else if (n >= 6)
                    Append(fSettings.LongDateFormat, depth + 1);
                break;
            }
            case 'H': {
                int n = runLength();
                int h = fHour;
                if (use12Hour) {
                    h %= 12;
                    if (h == 0) h = 12;
                }
                fOut += n == 1 ? std::to_string(h) : Pad(h, 2);
                break;
            }
            case 'N': {
                int n = runLength();
                fOut += n == 1 ? std::to_string(fMin) : Pad(fMin, 2);
                break;
            }
            case 'S': {
                int n = runLength();
                fOut += n == 1 ? std::to_string(fSec) : Pad(fSec, 2);
                break;
            }
            case 'Z': {
                int n = runLength();
                fOut += n == 1 ? std::to_string(fMSec) : Pad(fMSec, 3);
                break;
            }
            case 'T': {
                int n = runLength();
                Append(n == 1 ? fSettings.ShortTimeFormat : fSettings.LongTimeFormat, depth + 1);
                break;
            }
            case 'C': {
                runLength();
                Append(fSettings.ShortDateFormat, depth + 1);
                if (fHour != 0 || fMin != 0 || fSec != 0 || fMSec != 0) {
                    fOut += ' ';
                    Append(fSettings.LongTimeFormat, depth + 1);
                }
                break;
            }
            case 'A': {
                const bool pm = fHour >= 12;
                if (StartsWithNoCase(format, i, "am/pm")) {
                    // Shown in the letter case the format uses.
                    std::string_view word = pm ? format.substr(i + 3, 2) : format.substr(i, 2);
                    fOut.append(word);
                    i += 5;
                } else if (StartsWithNoCase(format, i, "a/p")) {
                    fOut += pm ? format[i + 2] : format[i];
                    i += 3;
                } else if (StartsWithNoCase(format, i, "ampm")) {
                    fOut += pm ? fSettings.TimePMString : fSettings.TimeAMString;
                    i += 4;
                } else {
                    fOut += c;
                    ++i;
                }
                break;
            }
            case '/':
                fOut += fSettings.DateSeparator;
                ++i;
                break;
            case ':':
                fOut += fSettings.TimeSeparator;
                ++i;
                break;
            default:
                fOut += c;
                ++i;
                break;
            }
        }
    }

    std::string Result() && { return std::move(fOut); }

private:
    TDateTime fValue;
    const TFormatSettings& fSettings;
    int fYear, fMonth, fDay, fHour, fMin, fSec, fMSec;
    std::string fOut;
};

// ---- parsing

class Scanner {
public:
    explicit Scanner(std::string_view s) : fText(s) {}
    void SkipBlanks() {
        while (fPos < fText.size() && static_cast<unsigned char>(fText[fPos]) <= ' ')
            ++fPos;
    }
    bool AtEnd() {
        SkipBlanks();
        return fPos >= fText.size();
    }
    // Up to maxDigits digits; digitsRead tells how many.
    bool Number(int& value, int maxDigits, int& digitsRead) {
        SkipBlanks();
        value = 0;
        digitsRead = 0;
        while (fPos < fText.size() && fText[fPos] >= '0' && fText[fPos] <= '9' && digitsRead < maxDigits) {
            value = value * 10 + (fText[fPos++] - '0');
            ++digitsRead;
        }
        return digitsRead > 0;
    }
    bool Char(char c) {
        SkipBlanks();
        if (fPos < fText.size() && fText[fPos] == c) {
            ++fPos;
            return true;
        }
        return false;
    }
    bool Word(std::string_view w) {
        SkipBlanks();
        if (!w.empty() && StartsWithNoCase(fText, fPos, w)) {
            fPos += w.size();
            return true;
        }
        return false;
    }
    size_t Pos() const { return fPos; }
    void SetPos(size_t p) { fPos = p; }

private:
    std::string_view fText;
    size_t fPos = 0;
};

enum DateOrder { doMDY, doDMY, doYMD };

DateOrder GetDateOrder(std::string_view format) {
    for (char c : format) {
        switch (Up(c)) {
        case 'D':
            return doDMY;
        case 'M':
            return doMDY;
        case 'Y':
            return doYMD;
        default:
            break;
        }
    }
    return doMDY;
}

int CurrentYear() {
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    return y;
}

int CompleteYear(int year, int digits, const TFormatSettings& settings) {
    if (digits > 2) return year;
    const int now = CurrentYear();
    const int window = settings.TwoDigitYearCenturyWindow;
    if (window <= 0) return year + (now / 100) * 100;
    // The year lies in the 100 years ending `window` years after now.
    const int pivot = now + window; // last year of the window
    int full = (pivot / 100) * 100 + year;
    if (full > pivot) full -= 100;
    return full;
}

bool ScanDate(Scanner& sc, TDateTime& value, const TFormatSettings& settings) {
    int n1, n2, n3, d1, d2, d3;
    const size_t start = sc.Pos();
    if (!sc.Number(n1, 4, d1) || !sc.Char(settings.DateSeparator) || !sc.Number(n2, 4, d2)) {
        sc.SetPos(start);
        return false;
    }
    const DateOrder order = GetDateOrder(settings.ShortDateFormat);
    int year, month, day, yearDigits;
    const size_t afterTwo = sc.Pos();
    if (sc.Char(settings.DateSeparator) && sc.Number(n3, 4, d3)) {
        switch (order) {
        case doMDY:
            month = n1, day = n2, year = n3, yearDigits = d3;
            break;
        case doDMY:
            day = n1, month = n2, year = n3, yearDigits = d3;
            break;
        default:
            year = n1, month = n2, day = n3, yearDigits = d1;
            break;
        }
    } else {
        sc.SetPos(afterTwo);
        year = CurrentYear();
        yearDigits = 4;
        if (order == doDMY) {
            day = n1, month = n2;
        } else {
            month = n1, day = n2;
        }
    }
    year = CompleteYear(year, yearDigits, settings);
    if (!TryEncodeDate(year, month, day, value)) {
        sc.SetPos(start);
        return false;
    }
    return true;
}

bool ScanTime(Scanner& sc, TDateTime& value, const TFormatSettings& settings) {
    const size_t start = sc.Pos();
    auto ampm = [&](int& which) {
        if (sc.Word(settings.TimeAMString) || sc.Word("AM"))
            which = 0;
        else if (sc.Word(settings.TimePMString) || sc.Word("PM"))
            which = 1;
        else
            which = -1;
    };
    int half = -1;
    ampm(half);
    int hour, minute = 0, second = 0, msec = 0, digits;
    if (!sc.Number(hour, 2, digits)) {
        sc.SetPos(start);
        return false;
    }
    bool haveMinutes = false;
    if (sc.Char(settings.TimeSeparator)) {
        if (!sc.Number(minute, 2, digits)) {
            sc.SetPos(start);
            return false;
        }
        haveMinutes = true;
        if (sc.Char(settings.TimeSeparator)) {
            if (!sc.Number(second, 2, digits)) {
                sc.SetPos(start);
                return false;
            }
            if (sc.Char(settings.DecimalSeparator) || sc.Char('.')) {
                if (!sc.Number(msec, 3, digits)) {
                    sc.SetPos(start);
                    return false;
                }
                for (; digits < 3; ++digits)
                    msec *= 10;
            }
        }
    }
    if (half < 0) ampm(half);
    if (!haveMinutes && half < 0) {
        sc.SetPos(start);
        return false;
    }
    if (half >= 0) {
        if (hour < 1 || hour > 12) {
            sc.SetPos(start);
            return false;
        }
        hour %= 12;
        if (half == 1) hour += 12;
    }
    if (!TryEncodeTime(hour, minute, second, msec, value)) {
        sc.SetPos(start);
        return false;
    }
    return true;
}

} // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    date = static_cast<TDateTime>(DayNumber(year, month, day) - DateDelta);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime d = 0;
    if (!TryEncodeDate(year, month, day, d)) throw EConvertError(SDateEncodeError);
    return d;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    time = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime t = 0;
    if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError(STimeEncodeError);
    return t;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
    const int32_t dayNumber = DateTimeToTimeStamp(date).Date;
    if (dayNumber <= 0) {
        year = month = day = 0;
        return;
    }
    SplitDayNumber(dayNumber, year, month, day);
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec) {
    int32_t ms = DateTimeToTimeStamp(time).Time;
    hour = ms / 3600000;
    ms %= 3600000;
    min = ms / 60000;
    ms %= 60000;
    sec = ms / 1000;
    msec = ms % 1000;
}

int DayOfWeek(TDateTime date) {
    const int32_t dayNumber = DateTimeToTimeStamp(date).Date;
    if (dayNumber <= 0) return 0;
    // Day 1 (0001-01-01) was a Monday.
    return dayNumber % 7 + 1;
}

TDateTime Now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&secs, &local);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), ms < 0 ? 0 : ms);
}

TDateTime Date() {
    return std::trunc(Now());
}

TDateTime Time() {
    const TDateTime now = Now();
    return now - std::trunc(now);
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    if (!std::isfinite(value) || std::fabs(value) > 1.0e8)
        throw EConvertError(Format(SInvalidDateTime, FloatToStr(value)));
    const int64_t ms = std::llround(value * MSecsPerDay);
    TTimeStamp ts;
    ts.Date = static_cast<int32_t>(DateDelta + ms / MSecsPerDay); // toward zero
    ts.Time = static_cast<int32_t>((ms < 0 ? -ms : ms) % MSecsPerDay);
    return ts;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
    if (stamp.Date <= 0 || stamp.Time < 0 || stamp.Time >= MSecsPerDay)
        throw EConvertError(Format(SInvalidTimeStamp, stamp.Date, stamp.Time));
    const double days = static_cast<double>(stamp.Date - DateDelta);
    const double fraction = static_cast<double>(stamp.Time) / MSecsPerDay;
    return days < 0 ? days - fraction : days + fraction;
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
    return static_cast<double>(stamp.Date) * MSecsPerDay + static_cast<double>(stamp.Time);
}

TTimeStamp MSecsToTimeStamp(double msecs) {
    if (!std::isfinite(msecs) || std::fabs(msecs) > 1.0e18)
        throw EConvertError(Format(SInvalidDateTime, FloatToStr(msecs)));
    double days = std::trunc(msecs / MSecsPerDay);
    int64_t time = std::llround(msecs - days * MSecsPerDay);
    if (time >= MSecsPerDay) {
        time -= MSecsPerDay;
        days += 1;
    }
    TTimeStamp ts;
    ts.Date = static_cast<int32_t>(std::clamp(days, -2147483648.0, 2147483647.0));
    ts.Time = static_cast<int32_t>(time);
    return ts;
}

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings) {
    DateTimeFormatter f(value, settings);
    f.Append(format.empty() ? std::string_view("c") : format, 0);
    return std::move(f).Result();
}

std::string FormatDateTime(std::string_view format, TDateTime value) {
    return FormatDateTime(format, value, FormatSettings);
}

std::string DateToStr(TDateTime value) {
    return FormatDateTime("ddddd", value);
}
std::string TimeToStr(TDateTime value) {
    return FormatDateTime("tt", value);
}
std::string DateTimeToStr(TDateTime value) {
    return FormatDateTime("c", value);
}

bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& settings) {
    Scanner sc(s);
    TDateTime d = 0;
    if (!ScanDate(sc, d, settings) || !sc.AtEnd()) return false;
    value = d;
    return true;
}

bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& settings) {
    Scanner sc(s);
    TDateTime t = 0;
    if (!ScanTime(sc, t, settings) || !sc.AtEnd()) return false;
    value = t;
    return true;
}

bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& settings) {
    Scanner sc(s);
    TDateTime d = 0, t = 0;
    if (ScanDate(sc, d, settings)) {
        if (sc.AtEnd() || (ScanTime(sc, t, settings) && sc.AtEnd())) {
            value = d < 0 ? d - t : d + t;
            return true;
        }
        return false;
    }
    return TryStrToTime(s, value, settings);
}

TDateTime StrToDate(std::string_view s) {
    TDateTime v = 0;
    if (!TryStrToDate(s, v, FormatSettings)) throw EConvertError(Format(SInvalidDate, s));
    return v;
}

TDateTime StrToTime(std::string_view s) {
    TDateTime v = 0;
    if (!TryStrToTime(s, v, FormatSettings)) throw EConvertError(Format(SInvalidTime, s));
    return v;
}

TDateTime StrToDateTime(std::string_view s) {
    TDateTime v = 0;
    if (!TryStrToDateTime(s, v, FormatSettings)) throw EConvertError(Format(SInvalidDateTime, s));
    return v;
}

} // namespace host
