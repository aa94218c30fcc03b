#pragma once

#include "FigureComparison.h"
#include "FigureText.h"

#include <QString>

#include <vector>

// Figure rows as the analysis window's two-column HTML table; a row worth a
// glance first has its name in bold.
QString figureTable(const std::vector<FigureRow> &figures);

// The catalog figures of the live board beside a reference's, as a table
// of four columns (figure, live, reference, difference) under the
// reference's name; then the live rows worth a glance first (a kind that
// does not fit, a partial sweep), which the catalog's numbers do not tell.
QString figureComparisonTable(const std::vector<ComparedFigure> &figures,
    const QString &referenceName, const std::vector<FigureRow> &liveRows);
