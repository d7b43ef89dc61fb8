#include "songc/value_units.h"

#include "base/audio_format.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kSampleRate = kAudioFrameRate;
// An envelope segment of control value x lasts x^3 * kSegmentCurve + 1 samples (its rate is
// the reciprocal); an exponential segment falls by 60 dB in that time. As the Envelope unit
// computes it.
constexpr double kSegmentCurve = 418381.75;
// The level curve doubles the gain every 6/128: dB per step of the control value.
const double kDecibelsPerLevel = 20.0 * std::log10(2.0) * 128.0 / 6.0;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "[+-]digits[.digits][e[+-]digits]" then spaces then the unit word.
bool splitValue(std::string_view text, double* amount, std::string_view* word) {
    size_t i = 0, digits = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    for (; i < text.size() && isDigit(text[i]); ++i) ++digits;
    if (i < text.size() && text[i] == '.')
        for (++i; i < text.size() && isDigit(text[i]); ++i) ++digits;
    if (!digits) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1, exponent = 0;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        for (; j < text.size() && isDigit(text[j]); ++j) ++exponent;
        if (!exponent) return false;
        i = j;
    }
    *amount = std::strtod(std::string(text.substr(0, i)).c_str(), nullptr);
    while (i < text.size() && text[i] == ' ') ++i;
    *word = text.substr(i);
    return true;
}

ValueUnit resolved(ValueUnit unit, uint16_t flags) {
    if (unit != ValueUnit::EnvelopeGain) return unit;
    return (flags & 0x80) ? ValueUnit::Level : ValueUnit::Gain;
}

// The value in the unit's own terms: semitones, cents, seconds or decibels.
double storedFrom(ValueUnit unit, double amount) {
    switch (unit) {
    case ValueUnit::Pitch:
        return amount / 128.0;
    case ValueUnit::FineTune:
        return amount / 128.0;
    case ValueUnit::Time: {
        const double samples = amount * kSampleRate;
        return samples <= 1.0 ? 0.0 : std::cbrt((samples - 1.0) / kSegmentCurve);
    }
    case ValueUnit::Gain:
        return std::pow(10.0, amount / 20.0);
    case ValueUnit::Level:
        return 0.75 + amount / kDecibelsPerLevel;
    default:
        return amount;
    }
}

bool sameFloat(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

} // namespace

bool looksLikeUnitValue(std::string_view text) {
    return !text.empty() && (isDigit(text[0]) || text[0] == '+' || text[0] == '-' || text[0] == '.');
}

bool unitValue(ValueUnit unit, uint16_t flags, std::string_view text, float* value, std::string* why) {
    unit = resolved(unit, flags);
    double amount = 0.0;
    std::string_view word;
    const char* wanted = unit == ValueUnit::Pitch || unit == ValueUnit::FineTune ? "st or cents"
                         : unit == ValueUnit::Time                               ? "s or ms"
                         : unit == ValueUnit::None                               ? nullptr
                                                                                 : "dB";
    if (!wanted) {
        *why = "takes a plain number or a node name, no unit";
        return false;
    }
    if (!splitValue(text, &amount, &word)) {
        *why = "is a number and a unit (" + std::string(wanted) + ")";
        return false;
    }
    if (unit == ValueUnit::Pitch || unit == ValueUnit::FineTune) {
        // Both roles take both words; a cent is a hundredth of a semitone.
        const double cents = word == "st" ? amount * 100.0 : word == "cents" ? amount : NAN;
        if (std::isnan(cents)) {
            *why = "takes st or cents";
            return false;
        }
        amount = unit == ValueUnit::Pitch ? cents / 100.0 : cents;
    } else if (unit == ValueUnit::Time) {
        if (word != "s" && word != "ms") {
            *why = "takes a time in s or ms";
            return false;
        }
        if (word == "ms") amount /= 1000.0;
        if (amount < 0.0) {
            *why = "takes a time of 0 s or more";
            return false;
        }
    } else if (word != "dB") {
        *why = "takes a level in dB";
        return false;
    }
    const float stored = float(storedFrom(unit, amount));
    if (!std::isfinite(stored)) {
        *why = "is out of range for the synthesizer's numbers";
        return false;
    }
    *value = stored;
    return true;
}

std::string unitText(ValueUnit unit, uint16_t flags, float value) {
    unit = resolved(unit, flags);
    if (!std::isfinite(value)) return "";
    double amount = 0.0;
    const char* word = "";
    switch (unit) {
    case ValueUnit::Pitch:
        amount = double(value) * 128.0, word = "st";
        break;
    case ValueUnit::FineTune:
        amount = double(value) * 128.0, word = "cents";
        break;
    case ValueUnit::Time: {
        if (value < 0.0f) return "";
        if (value == 0.0f) return "0 s"; // one sample, the shortest a segment lasts
        const double x = double(value);
        amount = (x * x * x * kSegmentCurve + 1.0) / kSampleRate, word = "s";
        if (amount < 1.0) amount *= 1000.0, word = "ms";
        break;
    }
    case ValueUnit::Gain:
        if (value <= 0.0f) return "";
        amount = 20.0 * std::log10(double(value)), word = "dB";
        break;
    case ValueUnit::Level:
        amount = (double(value) - 0.75) * kDecibelsPerLevel, word = "dB";
        break;
    default:
        return "";
    }
    // Fixed-point decimals for 1 to 6 significant digits: "440 ms", never "4.4e+02 ms".
    const int magnitude = amount == 0.0 ? 0 : int(std::floor(std::log10(std::fabs(amount))));
    for (int digits = 1; digits <= 6; ++digits) {
        const int decimals = digits - 1 - magnitude;
        if (decimals < 0 || decimals > 12) continue;
        char number[48];
        std::snprintf(number, sizeof number, "%.*f", decimals, amount);
        const std::string text = std::string(number) + " " + word;
        float back = 0.0f;
        std::string why;
        if (unitValue(unit, flags, text, &back, &why) && sameFloat(back, value)) return text;
    }
    return "";
}
