#include "parser/field_splitter.h"

int countFields(std::string_view line, SplitRules rules, int limit) {
  FieldSplitter splitter(line, rules);
  FieldSpan field;
  int count = 0;
  while (count < limit && splitter.next(&field)) ++count;
  return count;
}
