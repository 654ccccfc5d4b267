#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The PCR-1000's tuning commands and the keyword tables of Vantrel.ini.
// Every command ends in CR LF.

inline constexpr double kLowestFrequencyMHz = 0.4;
inline constexpr double kHighestFrequencyMHz = 1300.0;
inline constexpr std::int32_t kHighestPercent = 100;

inline constexpr std::string_view kDspUnitOnCommand = "J8001\r\n";
inline constexpr std::string_view kDspFunctionOnCommand = "J8101\r\n";
inline constexpr std::string_view kDspFunctionOffCommand = "J8100\r\n";

// Mode code of a keyword ("LSB" … "WBFM"), nullopt when it is none.
std::optional<std::int32_t> ModeCode(std::string_view keyword);
// The name rigctl gives a keyword's mode: "FM" for narrow FM, "WFM" for
// both wide keywords; nullopt when it is none.
std::optional<std::string_view> HamlibModeName(std::string_view keyword);
// Filter code of a width in kHz ("3" … "230"), nullopt when it is none.
std::optional<std::int32_t> FilterCode(std::string_view keyword);
// The width a filter keyword stands for, in Hz ("2.8" is 2800).
std::optional<std::int32_t> FilterWidthHz(std::string_view keyword);

// A frequency in whole Hz, rounded: 128.003 MHz is 128003000 Hz, though
// 128.003 × 1 000 000 falls just short of it in binary.
std::int64_t FrequencyHz(double frequencyMHz);

// "K0" + ten digits of Hz + " " + mode + filter + "00", e.g. "K00137500000 060400".
std::string TuneCommand(double frequencyMHz, std::int32_t modeCode, std::int32_t filterCode);
// Volume and squelch percent scaled to a byte, upper-case hexadecimal.
std::string VolumeCommand(std::int32_t percent);
std::string SquelchCommand(std::int32_t percent);
// DSP noise-reduction level 0..16, lower-case hexadecimal as the receiver got it.
std::string DspLevelCommand(std::int32_t levelByte);
