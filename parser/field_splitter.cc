#include "parser/field_splitter.h"

int countFields(std::string_view line, bool equalsEndsField) {
  FieldSplitter splitter(line, equalsEndsField);
  FieldSpan field;
  int count = 0;
  while (splitter.next(&field)) ++count;
  return count;
}
