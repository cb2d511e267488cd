#include "frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace metersim {

namespace {

// clang-format off
constexpr SensorKind sensorKinds[] = {
    // code label          unit    legacy  low     high    start   drift  noise dec width
    {'T', "Temp",          "C",    "C",    -20.0,  60.0,   23.5,   0.05,  0.05, 1, 6},
    {'t', "Probe temp",    "C",    "C",    -50.0,  200.0,  21.8,   0.05,  0.05, 1, 6},
    {'H', "Humidity",      "%RH",  "%",    5.0,    95.0,   45.2,   0.10,  0.10, 1, 5},
    {'d', "Dew point",     "C",    "C",    -20.0,  30.0,   11.0,   0.05,  0.05, 1, 6},
    {'V', "Velocity",      "m/s",  "m/s",  0.0,    30.0,   2.50,   0.02,  0.03, 2, 6},
    {'P', "Pressure",      "hPa",  "hPa",  950.0,  1050.0, 1013.2, 0.05,  0.05, 1, 6},
    {'N', "Sound",         "dB",   "dB",   30.0,   130.0,  55.0,   0.30,  0.40, 1, 5},
    {'w', "Wet bulb",      "C",    "C",    -10.0,  40.0,   16.4,   0.05,  0.05, 1, 6},
    {'i', "Heat index",    "C",    "C",    20.0,   60.0,   26.1,   0.05,  0.05, 1, 6},
    {'v', "Air flow",      "CMM",  "CMM",  0.0,    999.0,  12.5,   0.10,  0.05, 1, 5},
    {'p', "pH",            "pH",   "pH",   0.0,    14.0,   7.00,   0.005, 0.005, 2, 5},
    {'s', "DP-Surface",    "C",    "C",    -20.0,  40.0,   4.2,    0.05,  0.05, 1, 6},
    {'C', "DO",            "mg/L", "mg/L", 0.0,    20.0,   8.20,   0.01,  0.01, 2, 5},
    {'S', "Salinity",      "ppt",  "ppt",  0.0,    70.0,   35.0,   0.02,  0.02, 1, 5},
    {'U', "BTU",           "BTU",  "BTU",  0.0,    99999.0, 1200.0, 2.0,  2.0,  0, 5},
    {'m', "mV",            "mV",   "mV",   -1999.0, 1999.0, 125.0, 0.30,  0.20, 1, 6},
};
// clang-format on

bool every(int period, long long number) { return period > 0 && number > 0 && number % period == 0; }

}  // namespace

const SensorKind* findSensor(char code)
{
    for (const SensorKind& kind : sensorKinds)
        if (kind.code == code)
            return &kind;
    return nullptr;
}

std::uint64_t Random::next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double Random::uniform() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

double Random::symmetric() { return 2.0 * uniform() - 1.0; }

int Random::below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

unsigned lrcValue(std::string_view content)
{
    unsigned sum = 0;
    for (char c : content)
        sum += static_cast<unsigned char>(c);
    return (256U - sum % 256U) % 256U;
}

std::string lrcText(unsigned value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value % 256U);
    return text;
}

std::string formatNumber(double value, int decimals, int width)
{
    long long scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const long long steps = std::llround(value * static_cast<double>(scale));
    const unsigned long long magnitude = static_cast<unsigned long long>(steps < 0 ? -steps : steps);
    const auto unitSteps = static_cast<unsigned long long>(scale);
    std::string digits = std::to_string(magnitude / unitSteps);  // integers only: no locale involved
    if (decimals > 0) {
        const std::string fraction = std::to_string(magnitude % unitSteps);
        digits += '.' + std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') + fraction;
    }
    std::string text = steps < 0 ? "-" : "";
    if (width > static_cast<int>(text.size() + digits.size()))
        text.append(static_cast<std::size_t>(width) - text.size() - digits.size(), '0');
    return text + digits;
}

FrameMaker::FrameMaker(FrameConfig config) : config_(std::move(config)), random_(config_.seed), count_(config_.channels)
{
    for (std::size_t i = 0; i < 10; ++i) {
        const SensorKind* kind = findSensor(config_.types[i % config_.types.size()]);
        channels_.push_back({kind, config_.steady ? kind->start : kind->start + 20.0 * kind->drift * random_.symmetric()});
    }
}

std::string FrameMaker::nextLine()
{
    // Events due before the next data frame happen once: channel change first, then its names.
    const long long next = dataFrames_ + 1;
    if (preparedFor_ != next) {
        preparedFor_ = next;
        if (next == 1 && config_.describe)
            describePending_ = true;
        if (every(config_.changeEvery, next - 1)) {
            count_ = count_ == config_.channels ? config_.altChannels : config_.channels;
            describePending_ = describePending_ || config_.describe;
        }
        if (every(config_.describeEvery, next - 1))
            describePending_ = true;
    }
    if (describePending_ && !config_.legacy) {
        describePending_ = false;
        return describeFrame();
    }
    dataFrames_ = next;
    return dataFrame(next);
}

std::string FrameMaker::describeFrame() const
{
    std::string content = "$";
    for (int i = 0; i < count_; ++i) {
        if (i > 0)
            content += ':';
        const auto index = static_cast<std::size_t>(i);
        content += index < config_.names.size()
                       ? config_.names[index]
                       : std::string(channels_[index].kind->label) + ' ' + std::to_string(i + 1);
    }
    return sealed(std::move(content), false);
}

std::string FrameMaker::readingField(int index)
{
    Channel& channel = channels_[static_cast<std::size_t>(index)];
    const SensorKind& kind = *channel.kind;
    const double noise = config_.steady ? 0.0 : kind.noise * random_.symmetric();
    const double reading = std::clamp(channel.level + noise, kind.low, kind.high);
    return kind.code + formatNumber(reading, kind.decimals, config_.legacy ? 0 : kind.width)
           + (config_.legacy ? kind.legacyUnit : kind.unit);
}

// A slow random walk pulled gently towards the typical value, reflected at the plausible range.
// Every channel drifts, also those not sent at present, so a channel change shows continuity.
void FrameMaker::drift()
{
    for (Channel& channel : channels_) {
        const SensorKind& kind = *channel.kind;
        double level = channel.level + kind.drift * random_.symmetric() + 0.005 * (kind.start - channel.level);
        if (level > kind.high)
            level = 2.0 * kind.high - level;
        if (level < kind.low)
            level = 2.0 * kind.low - level;
        channel.level = std::clamp(level, kind.low, kind.high);
    }
}

std::string FrameMaker::dataFrame(long long number)
{
    if (!config_.steady)
        drift();
    std::vector<std::string> fields;
    for (int i = 0; i < count_; ++i)
        fields.push_back(readingField(i));
    if (every(config_.underscoreEvery, number)) {
        std::string& field = fields[static_cast<std::size_t>(random_.below(count_))];
        field = field.substr(0, 1) + (config_.legacy ? "_" : "____");
    }
    if (every(config_.errorEvery, number)) {
        std::string& field = fields[static_cast<std::size_t>(random_.below(count_))];
        const std::string code = "E0" + std::string(1, static_cast<char>('2' + random_.below(4)));
        field = random_.below(2) == 0 ? code : field.substr(0, 1) + code;
    }
    std::string content;
    for (const std::string& field : fields)
        content += (content.empty() ? "" : ":") + field;
    if (config_.legacy)
        return every(config_.longEvery, number) ? overLong(std::move(content)) : content;
    if (every(config_.trailerEvery, number))
        content += '@' + config_.trailer;
    if (every(config_.longEvery, number))
        return overLong(std::move(content));
    return sealed(std::move(content), every(config_.badLrcEvery, number));
}

std::string FrameMaker::sealed(std::string content, bool badLrc) const
{
    const std::string check = lrcText(lrcValue(content) + (badLrc ? 1U : 0U));  // one too high
    return content + check;
}

// A line the receive path must cut after 256 characters. On the 9600 line it is a data frame with
// a long trailer and a right check sum over the whole line, built so that neither piece passes
// the check: the head ends in "##", and the tail would pass only if the head summed to 0. The
// head holds 256 or, behind the LF of --lf, 255 characters of this text; neither may sum to 0.
std::string FrameMaker::overLong(std::string content) const
{
    if (config_.legacy) {
        content += ' ';
        content.resize(longLineLength, '#');
        return content;
    }
    if (content.find('@') == std::string::npos)
        content += '@';
    content.resize(longLineLength - 2, '#');
    for (;;) {
        unsigned sum = 0;
        for (std::size_t i = 0; i < 255; ++i)
            sum += static_cast<unsigned char>(content[i]);
        if (sum % 256U != 0 && (sum + static_cast<unsigned char>(content[255])) % 256U != 0)
            return sealed(std::move(content), false);
        ++content[250];  // inside the filler, clear of the head's last two characters
    }
}

}  // namespace metersim
