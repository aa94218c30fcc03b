#include "DynamicReport.h"

#include "FigureCatalog.h"

#include "JsonText.h"
#include "TextTable.h"

namespace {

using nlohmann::json;

json toneObject(const DynamicResult &result, const SpectrumTone &tone)
{
    return {
        {"order", tone.order},
        {"frequency", result.frequencyOf(tone)},
        {"bin", tone.bin},
        {"dbfs", tone.dbfs},
        {"dbc", result.ok ? json(tone.dbc) : json()},
    };
}

json details(const DynamicResult &r)
{
    json object {
        {"ok", r.ok},
        {"reason", r.ok ? json() : json(r.reason)},
        {"samples", r.samples},
        {"record_length", r.recordLength},
        {"averages", r.averages},
        {"sample_rate", jsonOrNull(r.sampleRate)},
        {"has_spectrum", r.hasSpectrum},
        {"tone_undetermined", jsonTextOrNull(r.toneUndetermined)},
        {"window", r.hasSpectrum ? json(spectrumWindowKey(r.window)) : json()},
    };
    if (!r.hasSpectrum)
        return object;
    json spurs = json::array();
    for (const SpectrumTone &tone : r.spurs)
        spurs.push_back(toneObject(r, tone));
    object["spurs"] = spurs;
    object["noise_floor_dbfs_per_bin"] = jsonOrNull(r.noiseFloorDbfs);
    object["noise_density_dbfs_per_hz"] = jsonOrNull(r.noiseDensityDbfsPerHz);
    if (!r.ok)
        return object;
    json harmonics = json::array();
    for (const SpectrumTone &tone : r.harmonics)
        harmonics.push_back(toneObject(r, tone));
    object["fundamental_choice"] = r.fundamentalChoice;
    object["coherent"] = r.coherent;
    object["fundamental"] = toneObject(r, r.fundamental);
    object["harmonics"] = harmonics;
    object["largest_spur"] = toneObject(r, r.spur);
    const SineFitFigures &fit = r.fit;
    object["sine_fit"] = {
        {"converged", fit.converged},
        {"iterations", fit.iterations},
        {"amplitude_codes", fit.amplitude},
        {"offset_codes", fit.offset},
        {"frequency", r.sampleRate ? fit.frequency * *r.sampleRate : fit.frequency},
        {"phase_rad", fit.phase},
        {"residual_rms_lsb", fit.residualRms},
    };
    return object;
}

} // namespace

void insertDynamicFigures(json &report, const DynamicResult &r)
{
    // Each dynamic figure of the catalog at the top level, null where the
    // record gives none.
    const CodeDensityResult noHistogram;
    const FigureInputs inputs {noHistogram, r};
    for (const FigureDefinition &figure : figureCatalog()) {
        if (figure.source == FigureSource::Dynamic)
            report[std::string(figure.key)] = r.ok ? jsonOrNull(figure.value(inputs)) : json();
        else if (figure.source == FigureSource::Spectrum)
            report[std::string(figure.key)]
                = r.hasSpectrum ? jsonOrNull(figure.value(inputs)) : json();
    }
    report["frequency_unit"] = r.frequencyUnit();
    json suggestion;
    if (r.ok && r.suggestion) {
        const double frequency
            = r.sampleRate ? r.suggestion->frequency * *r.sampleRate : r.suggestion->frequency;
        suggestion = {
            {"cycles", r.suggestion->cycles},
            {"samples", r.suggestion->samples},
            {"frequency", frequency},
        };
    }
    report["coherent_suggestion"] = suggestion;
    report["dynamic"] = details(r);
}

QStringList dynamicSummaryLines(const DynamicResult &result)
{
    return figureSummaryLines(dynamicFigureRows(result));
}

QStringList figureSummaryLines(const std::vector<FigureRow> &rows)
{
    std::vector<std::vector<std::string>> cells;
    for (const FigureRow &row : rows)
        cells.push_back({row.name, row.value});
    QStringList lines;
    for (const std::string &line : tableLines(cells, TableAlignment::Text))
        lines << QString::fromStdString(line);
    return lines;
}
