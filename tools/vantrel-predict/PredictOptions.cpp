#include "tools/vantrel-predict/PredictOptions.h"

#include <QCommandLineParser>
#include <ostream>

#include "app/CommandLine.h"
#include "framework/NumberText.h"
#include "planning/PassTimes.h"

namespace {

constexpr std::string_view kForms = "[options]\n";

constexpr std::string_view kSections =
    "Times are UTC. Elevations are geometric, without refraction: a real rise\n"
    "comes 10 to 30 seconds before the one listed, a real set as much after.\n"
    "\n"
    "Exit status:\n"
    "  0  the pass list was written\n"
    "  1  nothing could be predicted, or the list could not be written\n"
    "  2  the command line was not understood, or no station location is known\n";

QCommandLineOption Option(const char* name, const std::string& help, const char* value = nullptr) {
    QCommandLineOption option(QString::fromLatin1(name), QString::fromStdString(help));
    if (value) {
        option.setValueName(QString::fromLatin1(value));
    }
    return option;
}

std::vector<std::string> Names(const QString& list) {
    std::vector<std::string> names;
    for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!name.trimmed().isEmpty()) {
            names.push_back(name.trimmed().toStdString());
        }
    }
    return names;
}

// The options as the parser knows them.
struct DeclaredOptions {
    explicit DeclaredOptions(QCommandLineParser& parser) {
        for (const QCommandLineOption* option :
             {&tle, &latitude, &longitude, &altitude, &save, &satellites, &start, &hours, &horizon,
              &minElevation, &keepOverlaps, &output, &quiet, &allowStale}) {
            parser.addOption(*option);
        }
    }

    const QCommandLineOption tle =
        Option("tle", "Element sets from FILE (default weather.txt).", "FILE");
    const QCommandLineOption latitude =
        Option("lat", "The station's latitude, degrees north (south negative).", "DEG");
    const QCommandLineOption longitude =
        Option("lon", "The station's longitude, degrees east (west negative).", "DEG");
    const QCommandLineOption altitude =
        Option("alt", "The station's height above the WGS-84 ellipsoid, metres (default 0).", "M");
    const QCommandLineOption save =
        Option("save", "Keep --lat, --lon and --alt in Vantrel's settings for later runs.");
    const QCommandLineOption satellites =
        Option("satellites",
               "Predict these element sets (names separated by commas) instead of the "
               "satellites Vantrel.ini has lines for.",
               "NAMES");
    const QCommandLineOption start = Option(
        "start", "Begin at TIME, UTC: 2026-12-07T18:00:00Z or seconds since 1970 (default now).",
        "TIME");
    const QCommandLineOption hours =
        Option("hours",
               "Predict N hours (default 24, at most " +
                   std::to_string(static_cast<int>(kLongestWindowHours)) + ").",
               "N");
    const QCommandLineOption horizon =
        Option("horizon",
               "A pass begins and ends where the satellite crosses DEG of elevation "
               "(default 0).",
               "DEG");
    const QCommandLineOption minElevation =
        Option("min-elevation",
               "List only passes whose highest elevation reaches DEG (default 10; 0 "
               "lists every pass).",
               "DEG");
    const QCommandLineOption keepOverlaps =
        Option("keep-overlaps",
               "List overlapping passes whole; otherwise the higher pass keeps its "
               "time and the other keeps what lies outside it (when 60 s or more).");
    const QCommandLineOption output =
        Option("output", "Write the pass list to FILE instead of where Vantrel reads it.", "FILE");
    const QCommandLineOption quiet = Option("quiet", "Print no table of the passes.");
    const QCommandLineOption allowStale =
        Option("allow-stale", "Use element sets more than " +
                                  std::to_string(static_cast<int>(kRefuseAfterDays)) +
                                  " days from the start too.");
};

// A number option's value, when given: nullopt in `value` and the problem
// returned when it is no number within [lowest, highest].
std::optional<std::string> TakeNumber(const QCommandLineParser& parser,
                                      const QCommandLineOption& option, double lowest,
                                      double highest, std::optional<double>& value) {
    if (!parser.isSet(option)) {
        return std::nullopt;
    }
    value = ParseDecimal(parser.value(option).toStdString());
    if (value && *value >= lowest && *value <= highest) {
        return std::nullopt;
    }
    value.reset();
    return "--" + option.names().constFirst().toStdString() + " takes a number from " +
           std::to_string(static_cast<int>(lowest)) + " to " +
           std::to_string(static_cast<int>(highest));
}

// The station's location and the window's numbers; the first problem, if any.
std::optional<std::string> TakeNumbers(const QCommandLineParser& parser,
                                       const DeclaredOptions& declared, PredictOptions& options) {
    std::optional<double> hours = options.hours;
    std::optional<double> horizon = options.horizonDeg;
    std::optional<double> minElevation = options.minElevationDeg;
    for (std::optional<std::string> problem :
         {TakeNumber(parser, declared.latitude, -90, 90, options.latitudeDeg),
          TakeNumber(parser, declared.longitude, -180, 360, options.longitudeDeg),
          TakeNumber(parser, declared.altitude, -1000, 10000, options.altitudeM),
          TakeNumber(parser, declared.hours, 0, kLongestWindowHours, hours),
          TakeNumber(parser, declared.horizon, -5, 89, horizon),
          TakeNumber(parser, declared.minElevation, 0, 90, minElevation)}) {
        if (problem) {
            return problem;
        }
    }
    if (*hours == 0) {
        return "--hours takes a number above 0";
    }
    options.hours = *hours;
    options.horizonDeg = *horizon;
    options.minElevationDeg = *minElevation;
    if (options.latitudeDeg.has_value() != options.longitudeDeg.has_value()) {
        return "--lat and --lon go together";
    }
    if (options.altitudeM && !options.latitudeDeg) {
        return "--alt goes with --lat and --lon";
    }
    return std::nullopt;
}

// Everything but the numbers; the first problem, if any.
std::optional<std::string> TakeChoices(const QCommandLineParser& parser,
                                       const DeclaredOptions& declared, PredictOptions& options) {
    if (parser.isSet(declared.tle)) {
        options.tleFile = parser.value(declared.tle).toLocal8Bit().toStdString();
    }
    options.save = parser.isSet(declared.save);
    if (options.save && !options.latitudeDeg) {
        return "--save keeps --lat, --lon and --alt: give them";
    }
    if (parser.isSet(declared.satellites)) {
        options.satellites = Names(parser.value(declared.satellites));
        if (options.satellites->empty()) {
            return "--satellites names no satellite";
        }
    }
    if (parser.isSet(declared.start)) {
        options.start = ReadStartTime(parser.value(declared.start).toStdString());
        if (!options.start) {
            return "--start takes a time like 2026-12-07T18:00:00Z or seconds since 1970";
        }
    }
    options.keepOverlaps = parser.isSet(declared.keepOverlaps);
    if (parser.isSet(declared.output)) {
        options.output = parser.value(declared.output).toLocal8Bit().toStdString();
    }
    options.quiet = parser.isSet(declared.quiet);
    options.allowStale = parser.isSet(declared.allowStale);
    return std::nullopt;
}

}  // namespace

std::optional<std::time_t> ReadStartTime(std::string_view text) {
    if (const std::optional<std::int64_t> seconds = ParseInteger(text)) {
        // Bounded as the stamp form is, to years 0 to 9999: far beyond, the
        // calendar's numbers overflow and the pass search never ends.
        const auto time = static_cast<std::time_t>(*seconds);
        return FormatUtcStamp(time) ? std::optional<std::time_t>(time) : std::nullopt;
    }
    // YYYY-MM-DDThh:mm:ssZ: the stamp's digits with separators between.
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kShape.size()) {
        return std::nullopt;
    }
    std::string stamp;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) {
            return std::nullopt;
        }
        if (digit) {
            stamp += text[i];
        }
    }
    const std::time_t time = UtcStampToTime(stamp, 0);
    // A date that does not exist (31 April) would carry over; it is refused.
    return FormatUtcStamp(time) == stamp ? std::optional<std::time_t>(time) : std::nullopt;
}

std::optional<PredictOptions> ReadPredictOptions(std::span<const std::string_view> args,
                                                 std::ostream& out, std::ostream& err,
                                                 int& exitStatus) {
    QStringList arguments{QString::fromUtf8(kPredictProgram.data(), kPredictProgram.size())};
    for (const std::string_view arg : args) {
        arguments.append(QString::fromLocal8Bit(arg.data(), static_cast<qsizetype>(arg.size())));
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Predicts the passes of weather satellites over the station from element sets and "
        "writes them to PassList.txt for Vantrel."));
    const DeclaredOptions declared(parser);
    const ProgramHelp help{kPredictProgram, kForms, kSections};
    if (const std::optional<int> status = ReadCommandLine(parser, arguments, help, out, err)) {
        exitStatus = *status;
        return std::nullopt;
    }
    PredictOptions options;
    std::optional<std::string> problem;
    if (!parser.positionalArguments().isEmpty()) {
        problem =
            "unexpected argument '" + parser.positionalArguments().constFirst().toStdString() + "'";
    } else if (!(problem = TakeNumbers(parser, declared, options))) {
        problem = TakeChoices(parser, declared, options);
    }
    if (problem) {
        exitStatus = ReportUsageError(kPredictProgram, *problem, err);
        return std::nullopt;
    }
    return options;
}
