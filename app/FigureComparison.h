#pragma once

#include "FigureCatalog.h"

#include <initializer_list>
#include <string>
#include <vector>

// One catalog figure of the live board beside the reference's.
struct ComparedFigure
{
    std::string title; // "Worst |DNL| (LSB)": the label and the unit
    std::string live; // the value with the catalog's decimals; "—" when not given
    std::string reference;
    std::string difference; // live minus reference, signed; "—" unless both are given
};

// The catalog figures of `sources` that either side gives, in catalog order.
// A figure counts as given where the catalog says it is measured and its
// value is finite, as in the results database.
std::vector<ComparedFigure> compareFigures(const FigureInputs &live, const FigureInputs &reference,
    std::initializer_list<FigureSource> sources);
