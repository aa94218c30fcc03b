#pragma once

#include "FigureText.h"

#include <QString>

#include <vector>

// Figure rows as the analysis window's two-column HTML table; a row worth a
// glance first has its name in bold.
QString figureTable(const std::vector<FigureRow> &figures);
