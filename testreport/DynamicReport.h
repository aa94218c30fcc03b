#pragma once

#include "DynamicResult.h"
#include "FigureText.h"

#include <QStringList>

#include <nlohmann/json_fwd.hpp>

#include <cstdint>

// Adds the dynamic figures to the report's top level: snr_db, sinad_db,
// thd_db, sfdr_db, enob_bits, enob_fit_bits, signal_frequency,
// frequency_unit and coherent_suggestion, each null where not measured, and
// "dynamic" with the details (window, tones, noise floor, fit).
void insertDynamicFigures(nlohmann::json &report, const DynamicResult &result);

// The summary's lines for them, the names aligned among themselves.
QStringList dynamicSummaryLines(const DynamicResult &result);

// Figures as the summary shows them: "  name  value", the values in one
// column however many bytes a name's characters take.
QStringList figureSummaryLines(const std::vector<FigureRow> &rows);
