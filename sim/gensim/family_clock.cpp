// The instrument's real-time clock: "SYSTem:DATE y,m,d", "SYSTem:TIME h,m,s"
// and their queries. The clock runs with the host's (UTC) and keeps a fixed
// offset from it, so a set value goes on ticking. A set command is answered
// with the value as now set; an impossible date or time changes nothing and
// is answered with the unchanged value.
#include "command_text.h"
#include "family.h"
#include "zorbel/numbers.h"

#include <array>
#include <chrono>

namespace gensim {

namespace {

using namespace std::chrono;

// "a, b, c" (blanks around the numbers allowed) into three integers.
bool ThreeNumbers(std::string_view text, std::array<long long, 3>& values) {
    for (std::size_t i = 0; i < 3; ++i) {
        const auto comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 2)) return false;
        std::string_view item = text.substr(0, comma);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (!zorbel::parseInt(item, values[i])) return false;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return true;
}

std::string Triple(long long a, long long b, long long c) {
    return zorbel::formatInt(a) + "," + zorbel::formatInt(b) + "," + zorbel::formatInt(c);
}

class ClockFamily final : public CommandFamily {
public:
    std::optional<Answers> Handle(std::string_view command, GeneratorState&) override {
        std::string_view header;
        std::string_view argument;
        SplitHeader(command, header, argument);
        const bool query = header.size() > 1 && header.back() == '?' && argument.empty();
        if (query) header.remove_suffix(1);
        if (header != "SYSTem:DATE" && header != "SYSTem:TIME") return std::nullopt;
        std::array<long long, 3> values{};
        if (!query && ThreeNumbers(argument, values)) {
            if (header == "SYSTem:DATE")
                SetDate(values);
            else
                SetTime(values);
        }
        return Answers{header == "SYSTem:DATE" ? DateText() : TimeText()};
    }

private:
    sys_seconds Now() const { return time_point_cast<seconds>(system_clock::now()) + offset_; }

    void SetDate(const std::array<long long, 3>& v) {
        if (v[0] < 1970 || v[0] > 9999 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31) return;
        const year_month_day date{year(static_cast<int>(v[0])), month(static_cast<unsigned>(v[1])),
                                  day(static_cast<unsigned>(v[2]))};
        if (!date.ok()) return;  // 31 April, 29 February of a common year
        const sys_seconds now = Now();
        const auto timeOfDay = now - floor<days>(now);
        offset_ += (sys_days(date) + timeOfDay) - now;
    }

    void SetTime(const std::array<long long, 3>& v) {
        if (v[0] < 0 || v[0] > 23 || v[1] < 0 || v[1] > 59 || v[2] < 0 || v[2] > 59) return;
        const sys_seconds now = Now();
        const sys_seconds wanted = floor<days>(now) + hours(v[0]) + minutes(v[1]) + seconds(v[2]);
        offset_ += wanted - now;
    }

    std::string DateText() const {
        const year_month_day date{floor<days>(Now())};
        return Triple(static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                      static_cast<unsigned>(date.day()));
    }

    std::string TimeText() const {
        const sys_seconds now = Now();
        const hh_mm_ss<seconds> time{now - floor<days>(now)};
        return Triple(time.hours().count(), time.minutes().count(), time.seconds().count());
    }

    seconds offset_{0};  // instrument clock minus host clock
};

}  // namespace

std::unique_ptr<CommandFamily> MakeClockFamily(const SimOptions&) { return std::make_unique<ClockFamily>(); }

}  // namespace gensim
