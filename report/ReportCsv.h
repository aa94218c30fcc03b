#pragma once

#include "LotSummary.h"

#include <string>
#include <vector>

// The report as one CSV file of four tables, each under its own header row
// and apart from the next by an empty line. Every row begins with its table's
// name, so that `grep '^figure,'` or a spreadsheet filter picks one table:
//
//   yield,lot,station,boards,passed,failed,yield      (station empty: the lot)
//   figure,lot,name,n,mean,sigma,minimum,maximum,lower_limit,upper_limit,cpk,label,unit
//   failure,lot,serial,record_id,station,time,limit,figure,limit_value,side,value
//   retest,lot,serial,attempt,record_id,time,station,result
//
// A figure's name is its key in the database; label and unit, last so that
// a reader of the older columns is not disturbed, are the ones the other
// reports show (the key again, and no unit, for a key the station's catalog
// does not know). A number that does not exist (σ of one value, Cpk without a limit) is an
// empty field. A failed board has one failure row per limit it broke, or one
// with an empty limit when it failed for another reason.
std::string reportCsv(const std::vector<LotSummary> &lots);
