// Placeholder until field normalisation lands: values pass through unchanged.
#include "parser/normalise.h"

FieldTreatment treatmentFor(std::string_view) { return FieldTreatment::kNone; }

FieldNormaliser::FieldNormaliser(ColumnTable& table, const IdentifierTables& ids,
                                 DbKind db, const RunLog& runLog)
    : table_(table), ids_(ids), db_(db), runLog_(runLog) {}

void FieldNormaliser::normaliseField(FieldBuffer&, int, FieldTreatment, Row&,
                                     std::int64_t) {}

void FieldNormaliser::fillDateParts(const HeaderLayout&) {}
