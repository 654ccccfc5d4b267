#include "tools/vantrel-predict/PredictCommand.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/settings/SettingsStore.h"
#include "framework/UniqueFile.h"
#include "orbit/ElementFile.h"
#include "orbit/PassSearch.h"
#include "planning/PassListLine.h"
#include "planning/PassListReader.h"
#include "platform/kernel/FileTime.h"
#include "radio/SatelliteCatalogue.h"
#include "tools/vantrel-predict/PassListFile.h"
#include "tools/vantrel-predict/PassReport.h"
#include "tools/vantrel-predict/PassSchedule.h"
#include "tools/vantrel-predict/PredictOptions.h"
#include "tools/vantrel-predict/WantedSatellites.h"

namespace {

constexpr double kWarnAfterDays = 7;
// No near-Earth pass lasts this long, so a name that fits a line with it
// fits every line.
constexpr std::int32_t kLongestLengthField = 99999;

// A folder opens on Linux and fails its first read, so the read error is
// what refuses it.
std::optional<std::string> ReadWholeFile(const std::string& path) {
    const UniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return std::nullopt;
    }
    std::string contents;
    std::array<char, 16 * 1024> block;
    while (const std::size_t got = std::fread(block.data(), 1, block.size(), file.get())) {
        contents.append(block.data(), got);
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    return contents;
}

struct PredictedSatellite {
    std::string name;
    SatelliteView view;
};

class Predictor {
public:
    Predictor(const PredictOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err) {}

    int Run();

private:
    std::ostream& Say() { return m_err << kPredictProgram << ": "; }

    std::optional<StationLocation> Station(SettingsStore& settings);
    std::optional<std::vector<ElementSet>> WantedSets();
    // The satellites that can be predicted over the window, each refusal said.
    std::vector<PredictedSatellite> Prepare(const std::vector<ElementSet>& sets,
                                            const Observer& observer, double start);
    // nullopt when no satellite could be searched to the end of the window.
    std::optional<std::vector<ListedPass>> Search(const std::vector<PredictedSatellite>& satellites,
                                                  const PassWindow& window);
    int Write(const std::vector<PredictedSatellite>& satellites,
              const std::vector<ListedPass>& passes, const std::string& file);

    const PredictOptions& m_options;
    std::ostream& m_out;
    std::ostream& m_err;
};

std::optional<StationLocation> Predictor::Station(SettingsStore& settings) {
    if (!m_options.latitudeDeg) {
        return settings.GetStation();
    }
    return StationLocation{*m_options.latitudeDeg, *m_options.longitudeDeg,
                           m_options.altitudeM.value_or(0.0)};
}

std::optional<std::vector<ElementSet>> Predictor::WantedSets() {
    const std::optional<std::string> text = ReadWholeFile(m_options.tleFile);
    if (!text) {
        Say() << "cannot read element sets from " << m_options.tleFile
              << " (fetch them, or name a file with --tle)" << std::endl;
        return std::nullopt;
    }
    const ElementFile file = ReadElementFile(*text);
    for (const ElementFileProblem& problem : file.problems) {
        Say() << m_options.tleFile << ":" << problem.line << ": " << problem.satellite
              << " skipped: " << problem.text << std::endl;
    }
    std::optional<SatelliteChoice> choice;
    if (m_options.satellites) {
        choice = ChooseByName(file.sets, *m_options.satellites);
    } else {
        choice = ChooseByCatalogue(file.sets, SatelliteCatalogue::kFileName);
        if (!choice) {
            Say() << "cannot read " << SatelliteCatalogue::kFileName
                  << ", which says which satellites to predict (or name them with --satellites)"
                  << std::endl;
            return std::nullopt;
        }
    }
    for (const std::string& name : choice->missing) {
        Say() << name << " is wanted, but " << m_options.tleFile << " has no element set for it"
              << std::endl;
    }
    return std::move(choice->chosen);
}

std::vector<PredictedSatellite> Predictor::Prepare(const std::vector<ElementSet>& sets,
                                                   const Observer& observer, double start) {
    std::vector<PredictedSatellite> satellites;
    for (const ElementSet& set : sets) {
        const auto refuse = [&](const std::string& why) {
            Say() << set.name << ": " << why << std::endl;
        };
        if (!FormatPassListLine({0, false, 359, kLongestLengthField, set.name})) {
            refuse("the name does not fit a line of PassList.txt (Vantrel reads " +
                   std::to_string(PassListReader::kLongestLine) + " characters a line): refused");
            continue;
        }
        const double age = std::fabs(JulianDateFromUnix(start).DaysSince(set.epoch));
        if (age > kRefuseAfterDays && !m_options.allowStale) {
            refuse("the element set is " + std::to_string(static_cast<int>(age)) +
                   " days from the start, too far to trust: refused (--allow-stale uses it)");
            continue;
        }
        if (age > kWarnAfterDays) {
            refuse("the element set is " + std::to_string(static_cast<int>(age)) +
                   " days from the start: its passes may be minutes off; fetch newer sets");
        }
        double period = 0;
        const std::optional<Sgp4> model = Sgp4::Initialise(set, period);
        if (!model) {
            refuse("not a near-Earth orbit (period " + std::to_string(std::lround(period)) +
                   " minutes, " + std::to_string(std::lround(Sgp4::kDeepSpacePeriodMinutes)) +
                   " or more): refused");
            continue;
        }
        if (model->InitialError() != Sgp4Error::None) {
            refuse("dropped: " + std::string(Sgp4ErrorText(model->InitialError())));
            continue;
        }
        satellites.push_back({set.name, SatelliteView(*model, observer)});
    }
    return satellites;
}

std::optional<std::vector<ListedPass>> Predictor::Search(
    const std::vector<PredictedSatellite>& satellites, const PassWindow& window) {
    std::vector<ListedPass> listed;
    bool anySearched = false;
    for (std::size_t index = 0; index < satellites.size(); ++index) {
        try {
            for (const Pass& pass : FindPasses(satellites[index].view, window)) {
                if (pass.peakElevationDeg >= m_options.minElevationDeg) {
                    listed.push_back(ListWhole(index, pass));
                }
            }
            anySearched = true;
        } catch (const PropagationFailure& failure) {
            Say() << satellites[index].name << " dropped: " << failure.what() << std::endl;
        }
    }
    if (!anySearched) {
        return std::nullopt;
    }
    if (m_options.keepOverlaps) {
        SortByStart(listed);
        return listed;
    }
    return ResolveOverlaps(listed);
}

int Predictor::Write(const std::vector<PredictedSatellite>& satellites,
                     const std::vector<ListedPass>& passes, const std::string& file) {
    std::string contents;
    std::vector<ReportRow> rows;
    for (const ListedPass& listed : passes) {
        const PredictedSatellite& satellite = satellites[listed.satellite];
        SatelliteFix middle;
        try {
            middle = satellite.view.FixAt((static_cast<double>(listed.start) + listed.end) / 2.0);
        } catch (const PropagationFailure& failure) {
            Say() << satellite.name << ": a pass left out: " << failure.what() << std::endl;
            continue;
        }
        const std::optional<std::string> line = FormatPassListLine(
            {listed.start, middle.northbound, static_cast<int>(middle.longitudeDeg) % 360,
             static_cast<std::int32_t>(listed.end - listed.start), satellite.name});
        if (!line) {
            Say() << satellite.name << ": a pass has no line of PassList.txt: left out"
                  << std::endl;
            continue;
        }
        contents += *line + '\n';
        rows.push_back({listed.start, listed.end, listed.pass.peakElevationDeg,
                        listed.pass.peakAzimuthDeg, middle.northbound, satellite.name});
    }
    std::string problem;
    if (!ReplacePassList(file, contents, problem)) {
        Say() << "cannot write " << file << ": " << problem << std::endl;
        return kExitFailure;
    }
    if (!m_options.quiet) {
        PrintPassReport(rows, m_out);
        m_out << rows.size() << (rows.size() == 1 ? " pass" : " passes") << " written to " << file
              << std::endl;
    }
    return kExitSuccess;
}

int Predictor::Run() {
    LogLines lines;
    ActivityLog log(lines);
    SettingsStore settings(log);
    settings.ReadSettings();
    const std::optional<StationLocation> station = Station(settings);
    if (!station) {
        return ReportUsageError(
            kPredictProgram,
            "where is the station? Give --lat and --lon (and --alt in metres), with --save to "
            "keep them for later runs",
            m_err);
    }
    if (m_options.save) {
        if (!settings.WriteStation(*station)) {
            const std::string file = VantrelKeyFile().string();
            Say() << "cannot save the station's location "
                  << (file.empty() ? "without a home folder to keep settings in" : "in " + file)
                  << std::endl;
            return kExitFailure;
        }
    }

    const double start =
        static_cast<double>(m_options.start ? *m_options.start : CurrentCalendarTime());
    const PassWindow window{start, start + m_options.hours * 3600.0, m_options.horizonDeg};
    const std::optional<std::vector<ElementSet>> sets = WantedSets();
    if (!sets) {
        return kExitFailure;
    }
    const Observer observer(
        GeodeticPosition{station->latitudeDeg, station->longitudeDeg, station->altitudeM});
    const std::vector<PredictedSatellite> satellites = Prepare(*sets, observer, start);
    if (satellites.empty()) {
        Say() << "nothing could be predicted: no wanted satellite has a usable element set"
              << std::endl;
        return kExitFailure;
    }
    const std::optional<std::vector<ListedPass>> passes = Search(satellites, window);
    if (!passes) {
        Say() << "nothing could be predicted: every wanted satellite was dropped" << std::endl;
        return kExitFailure;
    }
    return Write(satellites, *passes,
                 m_options.output ? *m_options.output : PassListPath(settings.GetDirectory()));
}

}  // namespace

int RunPredict(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    int status = kExitSuccess;
    const std::optional<PredictOptions> options = ReadPredictOptions(args, out, err, status);
    if (!options) {
        return status;
    }
    return Predictor(*options, out, err).Run();
}
